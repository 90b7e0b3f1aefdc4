// Recording versions of the engine calls the application makes, for the application's tests.
#pragma once

#include <string>
#include <vector>

struct EngineCall {
    std::string name;
    float a = 0;
    int b = 0;
};

extern std::vector<EngineCall> engineCalls;

void ResetEngineFakes(void);
