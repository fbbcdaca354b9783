#include "archive/ListQuery.h"

#include "archive/Days.h"
#include "archive/Decimal.h"

#include <algorithm>
#include <charconv>

namespace {

class Reader
{
public:
    Reader(const ListParameters &parameters, const std::string &prefix,
        std::initializer_list<const char *> known)
        : m_parameters(parameters)
        , m_prefix(prefix)
    {
        for (size_t i = 0; i < parameters.size(); ++i) {
            const std::string &name = parameters[i].first;
            if (std::none_of(known.begin(), known.end(), [&](const char *k) { return name == k; }))
                fail(name, "is not a parameter of this list");
            for (size_t j = 0; j < i; ++j) {
                if (parameters[j].first == name)
                    fail(name, "is given twice");
            }
        }
    }

    std::optional<int32_t> day(const char *name) const
    {
        const std::string *text = value(name);
        if (!text)
            return std::nullopt;
        const auto day = LeadingIsoDay(*text);
        if (!day || text->size() != 10)
            fail(name, "takes a day as YYYY-MM-DD");
        return day;
    }

    std::optional<size_t> count(const char *name) const
    {
        const std::string *text = value(name);
        if (!text)
            return std::nullopt;
        const auto number = ParseWhole(*text);
        if (!number)
            fail(name, "takes a whole number (0: all)");
        return size_t(*number);
    }

    std::optional<int32_t> year(const char *name) const
    {
        const std::string *text = value(name);
        if (!text)
            return std::nullopt;
        int32_t year = 0;
        const char *end = text->data() + text->size();
        const auto [at, ec] = std::from_chars(text->data(), end, year);
        if (ec != std::errc() || at != end || (*text)[0] == '+')
            fail(name, "takes a year, such as 2017");
        return year;
    }

    [[noreturn]] void fail(const std::string &name, const char *problem) const
    {
        throw ListError(m_prefix + name + ' ' + problem);
    }

private:
    const std::string *value(const char *name) const
    {
        for (const auto &[key, value] : m_parameters) {
            if (key == name)
                return value.empty() ? nullptr : &value;
        }
        return nullptr;
    }

    const ListParameters &m_parameters;
    const std::string &m_prefix;
};

} // namespace

TopQuery ReadTopQuery(const ListParameters &parameters, const std::string &prefix)
{
    const Reader reader(parameters, prefix, { "day", "count", "year" });
    TopQuery query;
    query.day = reader.day("day");
    query.count = reader.count("count").value_or(query.count);
    query.year = reader.year("year");
    return query;
}

MoversQuery ReadMoversQuery(const ListParameters &parameters, const std::string &prefix)
{
    const Reader reader(parameters, prefix, { "from", "to", "top", "count", "year" });
    MoversQuery query;
    const auto from = reader.day("from"), to = reader.day("to");
    if (!from)
        reader.fail("from", "is needed: the first day");
    if (!to)
        reader.fail("to", "is needed: the second day");
    query.from = *from;
    query.to = *to;
    query.top = reader.count("top").value_or(query.top);
    query.count = reader.count("count").value_or(query.count);
    query.year = reader.year("year");
    return query;
}
