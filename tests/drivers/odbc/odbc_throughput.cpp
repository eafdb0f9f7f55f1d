// Throughput of the ODBC driver against the PostgreSQL source of the tests:
//
//   odbc_throughput read ROWS     makes bench_read (ROWS rows of mixed types)
//                                 and reads it whole, 4000 rows per fetch
//   odbc_throughput insert ROWS   inserts ROWS rows into bench_insert in
//                                 batches of 2000, then one row per statement
//   odbc_throughput insert-batched ROWS   the batches alone
//
// Run it through the throughput script beside it, which starts the server and
// times psql's own copy of the same rows for comparison. Prints one
// "name value" line per figure.
#include <netinet/in.h>
#include <linux/tcp.h>  // glibc's tcp_info lacks the data segment counters
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "drivers/odbc/odbc_connection.h"
#include "tests/drivers/odbc/pg_source.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Data segments this process has sent and received over TCP so far, summed
// over its open sockets: a request the server answers is one segment out and
// one in (replies to a batch stay well inside one segment on loopback).
struct Segments {
  long long out = 0;
  long long in = 0;
};

Segments TcpSegments() {
  Segments s;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    const int fd = std::stoi(entry.path().filename().string());
    tcp_info info{};
    socklen_t length = sizeof info;
    if (::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &length) == 0) {
      s.out += info.tcpi_data_segs_out;
      s.in += info.tcpi_data_segs_in;
    }
  }
  return s;
}

const char* const kColumns =
    "id integer, code varchar(20), amount numeric(19,4), qty numeric(10), at timestamp(0), note varchar(60), "
    "weight float8";

int Read(dac::Connection& c, long rows) {
  c.Execute("drop table if exists bench_read");
  c.Execute(std::string("create table bench_read (") + kColumns + ")");
  c.Execute("insert into bench_read select g, 'code ' || g, (g::bigint * 7919 % 100000000) / 10000.0, g % 1000, "
            "timestamp '2000-01-01' + g * interval '37 seconds', case when g % 10 = 0 then null else "
            "'a note for row ' || g end, g / 3.0 from generate_series(1, " +
            std::to_string(rows) + ") g");
  c.Execute("analyze bench_read");
  double best = 1e9;
  for (int round = 0; round < 3; ++round) {
    const auto start = Clock::now();
    auto cursor = c.Query("select * from bench_read");
    std::vector<dac::Row> block;
    long read = 0;
    for (bool more = true; more;) {
      block.clear();
      more = cursor->Fetch(block, 4000);
      read += static_cast<long>(block.size());
    }
    best = std::min(best, Seconds(start));
    if (read != rows) {
      std::cerr << "read " << read << " rows of " << rows << "\n";
      return 1;
    }
  }
  std::printf("odbc_read_rows %ld\nodbc_read_seconds %.3f\n", rows, best);
  return 0;
}

int Insert(dac::Connection& c, long rows, bool batched_only) {
  auto source = odbc::testing::AllRows(c, "select * from bench_read order by id limit " + std::to_string(rows));
  const std::vector<std::string> columns = {"id", "code", "amount", "qty", "at", "note", "weight"};
  c.Execute("drop table if exists bench_insert");
  c.Execute(std::string("create table bench_insert (") + kColumns + ")");

  constexpr std::size_t kBatch = 2000;
  std::vector<std::vector<dac::Row>> batches;
  for (std::size_t i = 0; i < source.size(); i += kBatch) {
    batches.emplace_back(source.begin() + static_cast<std::ptrdiff_t>(i),
                         source.begin() + static_cast<std::ptrdiff_t>(std::min(source.size(), i + kBatch)));
  }
  // The first batch describes the table; it is not timed.
  c.InsertRows("bench_insert", columns, {source.front()});
  c.Execute("truncate bench_insert");
  const Segments before = TcpSegments();
  auto start = Clock::now();
  for (const auto& batch : batches) {
    const auto r = c.InsertRows("bench_insert", columns, batch);
    if (r.error || r.inserted != batch.size()) {
      std::cerr << "batch insert: " << (r.error ? r.error->what() : "short") << "\n";
      return 1;
    }
  }
  const double batched = Seconds(start);
  const Segments after = TcpSegments();
  if (batched_only) {
    std::printf("insert_rows %zu\nbatched_seconds %.3f\n", source.size(), batched);
    return 0;
  }

  c.Execute("truncate bench_insert");
  const std::string single = "insert into bench_insert values (?, ?, ?, ?, ?, ?, ?)";
  start = Clock::now();
  for (const auto& row : source) c.Execute(single, row);
  const double one_by_one = Seconds(start);

  std::printf("insert_rows %zu\nbatch_rows %zu\nbatched_seconds %.3f\nsingle_row_seconds %.3f\n", source.size(), kBatch,
              batched, one_by_one);
  std::printf("segments_out_per_batch %.1f\nsegments_in_per_batch %.1f\n",
              double(after.out - before.out) / double(batches.size()),
              double(after.in - before.in) / double(batches.size()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: odbc_throughput read|insert|insert-batched ROWS\n";
    return 2;
  }
  try {
    auto c = odbc::ConnectOdbc(odbc::testing::PgSource());
    const std::string what = argv[1];
    const long rows = std::stol(argv[2]);
    if (what == "read") return Read(*c, rows);
    if (what == "insert") return Insert(*c, rows, false);
    // The batched inserts alone, for counting their round trips with strace.
    if (what == "insert-batched") return Insert(*c, rows, true);
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  std::cerr << "usage: odbc_throughput read|insert|insert-batched ROWS\n";
  return 2;
}
