#include <gtest/gtest.h>

#include <cmath>

#include "core/convert.h"
#include "core/cpu_features.h"
#include "core/error.h"
#include "core/random.h"
#include "core/rounding.h"

namespace velmora {
namespace {

TEST(Random, FollowsTheLinearCongruentialFormula) {
  // seed 0 -> 1 -> 134775814 -> 3698175007 -> 870078620 -> 1172187917 (x * 134775813 + 1),
  // each draw the high 32 bits of seed * n.
  SetRandSeed(0);
  EXPECT_EQ(Random(10), 0);      // 1 * 10 >> 32
  EXPECT_EQ(Random(100), 3);     // 13477581400 >> 32
  EXPECT_EQ(Random(1000), 861);  // 3698175007000 >> 32
  EXPECT_EQ(Random(7), 1);       // 6090550340 >> 32
  EXPECT_EQ(Random(0), 0);       // n = 0 draws 0 but still advances
  EXPECT_EQ(RandSeed(), 1172187917u);
  SetRandSeed(12345);
  EXPECT_DOUBLE_EQ(static_cast<double>(RandomReal()), 1655067934.0 / 4294967296.0);
}

TEST(Random, RangeAndSkip) {
  SetRandSeed(99);
  const int32_t a = RandomRange(5, 15);
  SetRandSeed(99);
  EXPECT_EQ(a, 5 + Random(10));
  for (int i = 0; i < 1000; ++i) {
    const int32_t k = RandomRange(-3, 4);
    EXPECT_GE(k, -3);
    EXPECT_LT(k, 4);
  }
  // Skipping n draws lands where n single draws land.
  for (uint64_t n : {0ull, 1ull, 2ull, 7ull, 1000ull, 123457ull}) {
    SetRandSeed(42);
    for (uint64_t i = 0; i < n; ++i) Random(1);
    const uint32_t stepped = RandSeed();
    SetRandSeed(42);
    SkipRandom(n);
    EXPECT_EQ(RandSeed(), stepped) << n;
    // The same jump composed step by step, and a run that skips and then draws.
    RandomJump composed;
    for (uint64_t i = 0; i < n; ++i) composed = composed.Then(RandomJump::Step());
    EXPECT_EQ(composed.Apply(42), stepped) << n;
    EXPECT_EQ(RandomJump::Of(n).Apply(42), stepped) << n;
    SetRandSeed(42);
    RandomRun run;
    run.Advance(RandomJump::Of(n));
    const int32_t drawn = run.Below(1000);
    run.Close();
    SetRandSeed(stepped);
    EXPECT_EQ(Random(1000), drawn) << n;
    EXPECT_EQ(RandSeed(), RandomJump::Of(n + 1).Apply(42)) << n;
  }
}

TEST(CpuFeatures, EveryWidthTheProcessorRunsCanBeChosenAndNoOther) {
  const int widest = WidestLanes();
  EXPECT_TRUE(CpuRunsLanes(1));  // the plain kernels run everywhere
  EXPECT_EQ(KernelLanes(), widest);
  ASSERT_TRUE(SetKernelLanes(1));
  for (int lanes : {0, 1, 2, 3, 4, 8, 16}) {
    const bool runs = CpuRunsLanes(lanes);
    EXPECT_EQ(SetKernelLanes(lanes), runs) << lanes;
    EXPECT_EQ(KernelLanes(), runs ? lanes : 1) << lanes;
    SetKernelLanes(1);
  }
  // Widths no kernel is built in are never said to run, whatever the processor.
  EXPECT_FALSE(CpuRunsLanes(16));
  EXPECT_FALSE(CpuRunsLanes(2));
  SetKernelLanes(widest);
}

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(-1.5L), -2);
  EXPECT_EQ(RoundHalfEven(-0.5L), 0);
  EXPECT_EQ(RoundHalfEven(0.5L), 0);
  EXPECT_EQ(RoundHalfEven(1.5L), 2);
  EXPECT_EQ(RoundHalfEven(2.5L), 2);
  EXPECT_EQ(RoundHalfEven(2.5000001L), 3);
  EXPECT_EQ(RoundHalfEven(-7.49L), -7);
  EXPECT_THROW(RoundHalfEven(1e30L), VError);
  EXPECT_THROW(RoundHalfEven(NAN), VError);
  EXPECT_THROW(RoundHalfEven32(3e9L), VError);
  EXPECT_EQ(RoundHalfEven32(-2147483648.0L), INT32_MIN);
}

void ExpectMessage(const std::function<void()>& f, const std::string& message) {
  try {
    f();
    ADD_FAILURE() << "no error, expected " << message;
  } catch (const VError& e) {
    EXPECT_EQ(std::string(e.what()), message);
  }
}

TEST(Convert, IntegersAreSigned32BitDecimalWithLeadingBlanks) {
  EXPECT_EQ(StrToInt("30"), 30);
  EXPECT_EQ(StrToInt(" 7"), 7);
  EXPECT_EQ(StrToInt("  -5"), -5);
  EXPECT_EQ(StrToInt("+12"), 12);
  EXPECT_EQ(StrToInt("2147483647"), INT32_MAX);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
  for (const char* bad : {"", " ", "abc", "1e3", "1,5", "1.5", "7 ", "2147483648", "-2147483649",
                          "99999999999999999999", "-", "+", "0x10", "$10"}) {
    ExpectMessage([&] { StrToInt(bad); },
                  std::string("'") + bad + "' ist kein gültiger Integerwert");
  }
}

TEST(Convert, FloatsUseTheLocaleSeparator) {
  SetDecimalSeparator(',');
  EXPECT_EQ(StrToFloat("1,0"), 1.0L);
  EXPECT_EQ(StrToFloat(" -2,5 "), -2.5L);
  EXPECT_EQ(StrToFloat("1e3"), 1000.0L);
  EXPECT_EQ(StrToFloat(",5"), 0.5L);
  EXPECT_EQ(StrToFloat("8"), 8.0L);
  EXPECT_EQ(StrToSingle("0,1"), 0.1f);
  for (const char* bad : {"1.5", "", ",", "abc", "1,2,3", "1e", "e3", "1 000", "--1"})
    ExpectMessage([&] { StrToFloat(bad); },
                  std::string("'") + bad + "' ist kein gültiger Gleitkommawert");
  ExpectMessage([] { StrToSingle("1e39"); }, "'1e39' ist kein gültiger Gleitkommawert");
  SetDecimalSeparator('.');
  EXPECT_EQ(StrToFloat("1.5"), 1.5L);
  EXPECT_THROW(StrToFloat("1,0"), VError);
}

TEST(Convert, GeneralFormat) {
  SetDecimalSeparator(',');
  EXPECT_EQ(FloatToStr(0.17), "0,17");
  EXPECT_EQ(FloatToStr(1.0), "1");
  EXPECT_EQ(FloatToStr(0.0), "0");
  EXPECT_EQ(FloatToStr(-23.98), "-23,98");
  EXPECT_EQ(FloatToStr(0.00001), "1E-5");
  SetDecimalSeparator('.');
  EXPECT_EQ(FloatToStr(0.17), "0.17");
  EXPECT_EQ(FloatToStr(23.83), "23.83");
}

TEST(Errors, MessagesAndCheckedArithmetic) {
  ExpectMessage([] { CheckedFloatDiv(1, 0); }, "Gleitkommadivision durch Null");
  ExpectMessage([] { CheckedFloatDiv(0, 0); }, "Ungültige Gleitkommaoperation");
  ExpectMessage([] { CheckedMod(5, 0); }, "Division durch Null");
  EXPECT_EQ(CheckedMod(-7, 3), -1);
  EXPECT_EQ(CheckedMod(INT64_MIN, -1), 0);
  EXPECT_EQ(std::string(VError::ListIndex(0).what()), "Listenindex überschreitet das Maximum (0)");
}

TEST(Errors, TheBoxAppendsAFullStopAfterLettersAndDigits) {
  EXPECT_EQ(ErrorBoxText("Division durch Null"), "Division durch Null.");
  EXPECT_EQ(ErrorBoxText("'abc' ist kein gültiger Integerwert"),
            "'abc' ist kein gültiger Integerwert.");
  EXPECT_EQ(ErrorBoxText("Listenindex überschreitet das Maximum (0)"),
            "Listenindex überschreitet das Maximum (0)");
  EXPECT_EQ(ErrorBoxText("Ende."), "Ende.");
  EXPECT_EQ(ErrorBoxText("Ende "), "Ende ");
  EXPECT_EQ(ErrorBoxText("Wert 7"), "Wert 7.");
  EXPECT_EQ(ErrorBoxText(""), "");
}

}  // namespace
}  // namespace velmora
