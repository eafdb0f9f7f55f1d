// The field-rule chain per value, for each kind of target field the copy meets.
#include <benchmark/benchmark.h>

#include "copy/field_rules.h"

namespace {

void Run(benchmark::State& state, dac::FieldType type, const dac::Value& value) {
  for (auto _ : state) benchmark::DoNotOptimize(copy::ApplyFieldRules(type, value));
  state.SetItemsProcessed(state.iterations());
}

void BM_Money(benchmark::State& s) { Run(s, dac::FieldType::ftCurrency, *dac::Decimal::Parse("12345.6789")); }
void BM_MoneyClamped(benchmark::State& s) {
  Run(s, dac::FieldType::ftCurrency, *dac::Decimal::Parse("999999999999999.9999"));
}
void BM_Tinyint(benchmark::State& s) { Run(s, dac::FieldType::ftWord, dac::Value(std::int64_t{200})); }
void BM_DateTime(benchmark::State& s) { Run(s, dac::FieldType::ftDateTime, dac::DateTime{2024, 1, 15, 10, 11, 12, 0}); }
void BM_Varchar(benchmark::State& s) { Run(s, dac::FieldType::ftString, dac::Value("item 123456")); }
void BM_VarcharBlanks(benchmark::State& s) { Run(s, dac::FieldType::ftString, dac::Value("ab  ")); }
void BM_Null(benchmark::State& s) { Run(s, dac::FieldType::ftString, dac::Value()); }
void BM_Integer(benchmark::State& s) { Run(s, dac::FieldType::ftInteger, dac::Value(std::int64_t{123456})); }

BENCHMARK(BM_Money);
BENCHMARK(BM_MoneyClamped);
BENCHMARK(BM_Tinyint);
BENCHMARK(BM_DateTime);
BENCHMARK(BM_Varchar);
BENCHMARK(BM_VarcharBlanks);
BENCHMARK(BM_Null);
BENCHMARK(BM_Integer);

}  // namespace

BENCHMARK_MAIN();
