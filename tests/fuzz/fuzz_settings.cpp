// fuzz_settings.cpp: the scan of the ten integers and their check. Settings that pass the check
// lie in the ranges the program relies on (retrace waits clamped); a refusal names the setting.
#include <string>

#include "Navek.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);  // read up to a NUL
    ResetNavek();
    ScanSettings(text.c_str());
    const char* refused = CheckSettings();
    if (refused) {
        FUZZ_CHECK(std::string(refused).rfind("Setting ", 0) == 0);
        return 0;
    }
    FUZZ_CHECK(screenWidth >= 1 && screenWidth <= kMaxScreenSide);
    FUZZ_CHECK(screenHeight >= 1 && screenHeight <= kMaxScreenSide);
    FUZZ_CHECK(syncToTimer != 1 || (timerPeriod >= 1 && timerPeriod <= kMaxTimerPeriod));
    FUZZ_CHECK(retraceWaits >= 0 && retraceWaits <= kMaxRetraceWaits);
    FrameRateValue();
    return 0;
}
