// Dates of script lines: TextToDate gives the null date or a calendar day whose
// text reads back to it; day numbers convert both ways without faults.
#include "fuzz/FuzzSupport.h"
#include "service/u_Function.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = FuzzText(data, size);
    const QDate date = TextToDate(text);
    FUZZ_CHECK(date.isValid());
    if (date != NullDate()) {
        FUZZ_CHECK(date.year() >= 1 && date.year() <= 9999);
        // The pieces the date came from, read by the whole-number conversion.
        FUZZ_CHECK(WholeNumber(QStringView(text).mid(0, 4)) == date.year());
        FUZZ_CHECK(WholeNumber(QStringView(text).mid(5, 2)) == date.month());
        FUZZ_CHECK(WholeNumber(QStringView(text).mid(8, 2)) == date.day());
        const QString written = DateToText(date);
        if (date.year() >= 1000) {
            FUZZ_CHECK(written.size() == 10);
            FUZZ_CHECK(TextToDate(written) == date);
        }
        FUZZ_CHECK(DaysToDate(DateToDays(date)) == date);
    }

    // The same bytes as a day number: any double, NaN and infinities included.
    if (size >= sizeof(double)) {
        double days;
        std::memcpy(&days, data, sizeof days);
        const QDate fromDays = DaysToDate(days);
        FUZZ_CHECK(fromDays.isValid());
        (void)DateToText(fromDays);
    }
    return 0;
}
