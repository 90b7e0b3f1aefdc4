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
    const DemoSettings& s = settings;
    FUZZ_CHECK(s.screenWidth >= 1 && s.screenWidth <= kMaxScreenSide);
    FUZZ_CHECK(s.screenHeight >= 1 && s.screenHeight <= kMaxScreenSide);
    FUZZ_CHECK(s.syncToTimer != 1 || (s.timerPeriod >= 1 && s.timerPeriod <= kMaxTimerPeriod));
    FUZZ_CHECK(s.retraceWaits >= 0 && s.retraceWaits <= kMaxRetraceWaits);
    FrameRateValue();
    return 0;
}
