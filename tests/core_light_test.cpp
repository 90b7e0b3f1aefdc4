// Lighting and vertex colour: light kinds, the shadow hook, emitters, the cache, the packing.
#include "core_fixture.h"

namespace {

int shadowCalls;
byte shadowAnswer;
byte Shadow(const Vec4* position, const Light*) {
    ++shadowCalls;
    EXPECT_EQ(&trx.wvtable[0], position);
    return shadowAnswer;
}

class CoreLight : public CoreTest {
public:
    // One light in slot 0 and one vertex at `at`; the red light sum of its link.
    static float Sum(const Light& l, Vec4 normal = V4(0, 0, 1), Vec4 at = V4(0, 0, 0)) {
        ClearScene();
        SetLight(0, &l);
        int link = Corner(at.x, at.y, at.z, normal);
        EXPECT_EQ(0, Render());
        LightLink(link);
        return trx.cache[link].r;
    }
};

TEST_F(CoreLight, PointSpotAndDirectionalFactors) {
    SetAmbient(0.25f);
    const Vec4 up = V4(0, 0, 1), side = V4(10, 0, 0), far = V4(27.47f, 0, 0);  // 45, 70 degrees
    const float c45 = 0.70710677f;
    auto point = [](Vec4 p) { return MakeLight(p, 10, LIGHT_POINT); };
    const Light spot = MakeLight(V4(0, 0, 10), 100, LIGHT_SPOT),
                both = MakeLight(V4(0, 0, 10), 100, LIGHT_SPOT | LIGHT_POINT),
                sun = MakeLight({}, 0, LIGHT_DIRECTIONAL);
    struct Case {
        const char* name;
        Light light;
        Vec4 normal, vertex;
        float factor;
    } cases[] = {
        {"point at 5 of 10", point(V4(0, 0, 5)), up, {}, 0.5f},
        {"point at 10 of 10", point(V4(0, 0, 10)), up, {}, 0},
        {"inside per axis, outside by distance", point(V4(7.1f, 7.1f, 0.5f)), up, {}, 0},
        {"behind the surface", point(V4(0, 0, -5)), up, {}, 0},
        {"grazing", point(V4(5, 0, 0)), up, {}, 0},
        {"spot on its axis", spot, up, {}, 0.9f},
        {"spot 45 deg", spot, up, side, (c45 - 0.1f) * (c45 - 0.5f) / 0.309f},
        {"spot 70 deg", spot, up, far, 0},
        {"point+spot 45 deg", both, up, side, c45 - 0.1f},
        {"directional 45 deg", sun, V4(0, 1, 1), {}, c45},
        {"directional from behind", sun, V4(0, 0, -1), {}, 0},
        {"directional, zero normal", sun, V4(0, 0, 0), {}, 0},
        {"enabled, of no kind", MakeLight(V4(0, 0, 5), 10, 0), up, {}, 0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(c.factor + 0.25f, Sum(c.light, c.normal, c.vertex), 1e-4f) << c.name;
}

// The answers scale the light; each link is lit (and asks) once a frame, afresh every frame.
TEST_F(CoreLight, ShadowCallbackAndOneLightingPerLinkPerFrame) {
    SetShadowCallback(Shadow);
    const std::pair<byte, float> cases[] = {{0, 0.5f}, {1, 0.25f}, {2, 0}, {7, 0.5f}, {1, 0.25f}};
    for (auto [answer, want] : cases) {
        shadowCalls = 0;
        shadowAnswer = answer;
        EXPECT_NEAR(want, Sum(MakeLight(V4(0, 0, 5), 10, LIGHT_POINT)), 1e-6f)
            << "answer " << int(answer);
        VertexRef a{-1, 0, 0, 0}, b{-1, 0, 1, 1};
        EXPECT_EQ(VertexColor(&a), VertexColor(&b));
        EXPECT_EQ(1, shadowCalls) << "answer " << int(answer);
    }
}

TEST_F(CoreLight, SlotsMoveIntoModelSpaceAndOscillate) {
    Matrix t;
    MatTranslate(&t, 5, 0, 0);
    SetModelTransform(&t, 2);
    Light slot, l = MakeLight(V4(5, 0, 5), 10, LIGHT_POINT | LIGHT_OSCILLATE);  // model (0, 0, 5)
    l.color[1] = 0;
    l.amplitude[1] = 0.5f;
    l.speed = 0.25f;
    AnimClockTick(0);  // clock 1: SineLookup(1, 0.25, 0) = T[255]
    EXPECT_NEAR(0.5f, Sum(l), 1e-6f);
    EXPECT_NEAR(0.25f * SineTable[255], trx.cache[0].g, 1e-6f);
    GetLight(0, &slot);
    EXPECT_EQ(0.0f, slot.color[1]) << "the slot itself is not changed";
}

TEST_F(CoreLight, EmitterRunsDefineLightsAfterTheSlots) {
    const int on = LIGHT_ENABLED | LIGHT_SPOT;
    struct Case {
        int32_t lightFlags;
        uint8_t matFlags;
        bool noMaterial;
        int lights;
    } cases[] = {{on, MAT_EMITTER, false, 2},
                 {LIGHT_SPOT, MAT_EMITTER, false, 1},
                 {on, MAT_OSCILLATE, false, 1},
                 {on, MAT_EMITTER, true, 1}};
    Light slot = MakeLight(V4(100, 100, 100), 1, LIGHT_POINT);
    SetLight(3, &slot);
    for (const Case& c : cases) {
        ClearScene();
        Material m{};
        m.diffuse[0] = 20, m.diffuse[1] = 0.5f, m.diffuse[2] = 0.809f;  // range, cone cosines
        m.emissive[0] = 1, m.lightFlags = c.lightFlags, m.flags = c.matFlags;
        int mat = AddMaterial(&m);
        BeginRun(1, 7, 0);
        AddVertexRef(Corner(0, 0, 10, V4(0, 0, -1)), c.noMaterial ? -1 : mat, 64, 64);
        int link = Corner(0, 0, 0, V4(0, 0, 1));
        ASSERT_EQ(0, Render());
        LightLink(link);
        ASSERT_EQ(c.lights, trx.lightCount)
            << "light flags " << c.lightFlags << ", material flags " << int(c.matFlags);
        EXPECT_EQ(100.0f, trx.lights[0].position.x) << "slot lights come first";
        EXPECT_NEAR(c.lights == 2 ? 0.5f : 0.0f, trx.cache[link].r, 1e-6f)
            << "spot straight down at 10 of 20";
    }
}

TEST_F(CoreLight, VertexColorPackingClampAlphaAndOscillation) {
    AnimClockTick(0);  // clock 1: SineLookup(1, 0.25, 0) = T[255]
    struct Case {
        const char* name;
        float ambient;
        bool material;
        uint8_t flags;
        float diffuse, emissive, alpha, oscillation;
        uint32_t want;
    } cases[] = {
        {"no material, over 1", 1.3f, false, 0, 0, 0, 0, 0, 0xFFFFFFFF},
        {"no material, negative", -0.5f, false, 0, 0, 0, 0, 0, 0xFF000000},
        {"no material, half, oscillation off", 0.5f, false, 0, 0, 0, 0, 0.25f, 0xFF7F7F7F},
        {"NaN channel", NAN, false, 0, 0, 0, 0, 0, 0xFF000000},
        {"diffuse * sum + emissive", 0.5f, true, 0, 0.5f, 0.5f, 0, 0, 0xFFBFBFBF},
        {"emitter ignores lights", 0.9f, true, MAT_EMITTER, 1, 0.25f, 0, 0, 0xFF3F3F3F},
        {"alpha 0.5", 1, true, MAT_ALPHA, 1, 0, 0.5f, 0, 0x7FFFFFFF},
        {"alpha NaN", 1, true, MAT_ALPHA, 1, 0, NAN, 0, 0x00FFFFFF},
        {"oscillation after lighting", 0.5f, true, MAT_OSCILLATE, 0.5f, 0.1f, 0, 0.25f,
         0xFF999999},  // 0.6
        {"oscillation in the diffuse", 0.5f, true, MAT_OSCILLATE | MAT_OSC_DIFFUSE, 0.5f, 0.1f, 0,
         0.25f, 0xFF797979},
    };
    for (const Case& c : cases) {
        ClearScene();
        SetAmbient(c.ambient);
        Material m{};
        for (int k = 0; k < 3; ++k)
            m.diffuse[k] = c.diffuse, m.emissive[k] = c.emissive,
            m.amplitude[k] = c.oscillation / SineTable[255];
        m.speed = 0.25f, m.alpha = c.alpha, m.flags = c.flags;
        VertexRef ref{c.material ? AddMaterial(&m) : -1, Corner(0, 0, 0), 0, 0};
        ASSERT_EQ(0, Render());
        const uint32_t got = VertexColor(&ref);
        EXPECT_EQ(c.want, got) << c.name << std::hex << ": got 0x" << got;
    }
}

}  // namespace
