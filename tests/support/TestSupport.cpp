#include "support/TestSupport.h"

#include <QtGlobal>

QString TestDataDir()
{
    return qEnvironmentVariable("PLOTWISE_TEST_DATA");
}
