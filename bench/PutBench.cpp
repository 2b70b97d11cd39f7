#include "bench/PutBench.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "bench/LateBound.h"
#include "bench/Socket.h"
#include "host/Host.h"
#include "platform/os/CodePage.h"

namespace bench {

namespace {

using platform::TOleVariant;
using Clock = std::chrono::steady_clock;

// Forwards between clients and the server, each piece of data delivered
// `latency` after it arrived, in both directions: a link of that one-way
// latency and no bandwidth limit.
class LatencyRelay {
 public:
  LatencyRelay(std::uint16_t serverPort, std::chrono::milliseconds latency)
      : serverPort_(serverPort), latency_(latency), accepter_([this] { AcceptLoop(); }) {}
  ~LatencyRelay() {
    listener_.Close();
    accepter_.join();
  }
  LatencyRelay(const LatencyRelay&) = delete;
  LatencyRelay& operator=(const LatencyRelay&) = delete;

  [[nodiscard]] std::uint16_t Port() const { return listener_.Port(); }

 private:
  struct Piece {
    Clock::time_point Due;
    std::vector<std::uint8_t> Bytes;  // empty: the sending side ended
  };
  // One direction: a reader queues what arrives, a writer passes it on when due.
  struct Direction {
    std::mutex Lock;
    std::condition_variable Ready;
    std::deque<Piece> Pieces;
  };
  struct Link {
    Socket Client;
    Socket Server;
  };

  void AcceptLoop() {
    for (;;) {
      Socket client = listener_.Accept();
      if (!client.IsOpen()) return;
      auto link = std::make_shared<Link>();
      link->Client = std::move(client);
      if (!link->Server.Connect("127.0.0.1", serverPort_)) continue;
      // The threads own the link between them; the process ends them.
      Pump(link, link->Client, link->Server);
      Pump(link, link->Server, link->Client);
    }
  }

  void Pump(const std::shared_ptr<Link>& link, Socket& from, Socket& to) {
    auto direction = std::make_shared<Direction>();
    const auto latency = latency_;
    std::thread([link, direction, &from, latency] {
      std::vector<std::uint8_t> buffer(1 << 16);
      for (;;) {
        const long count = from.ReadSome(buffer);
        Piece piece{Clock::now() + latency, {}};
        if (count > 0) piece.Bytes.assign(buffer.begin(), buffer.begin() + count);
        {
          const std::lock_guard<std::mutex> hold(direction->Lock);
          direction->Pieces.push_back(std::move(piece));
        }
        direction->Ready.notify_one();
        if (count <= 0) return;
      }
    }).detach();
    std::thread([link, direction, &to] {
      for (;;) {
        Piece piece;
        {
          std::unique_lock<std::mutex> hold(direction->Lock);
          direction->Ready.wait(hold, [&] { return !direction->Pieces.empty(); });
          piece = std::move(direction->Pieces.front());
          direction->Pieces.pop_front();
        }
        std::this_thread::sleep_until(piece.Due);
        if (piece.Bytes.empty() || !to.WriteAll(piece.Bytes)) {
          to.Close();
          return;
        }
      }
    }).detach();
  }

  Listener listener_;
  std::uint16_t serverPort_;
  std::chrono::milliseconds latency_;
  std::thread accepter_;
};

// The values of row `id`, spread over their columns' ranges the way the
// benchmark table of the read cases is.
struct Row {
  std::int32_t Id;
  std::int32_t A;
  std::string S;
  double D;
  double Dt;  // an OLE date
  double F;
};

Row RowOf(std::int32_t id) {
  static const std::string letters = "0123456789abcdefghijklmnopqrstuvwxyz0123456789abcd";
  const auto spread = static_cast<std::int64_t>(id) * 7919;
  return {id,
          static_cast<std::int32_t>(spread % 1000003) - 500000,
          letters.substr(static_cast<std::size_t>(id % 10), 5 + static_cast<std::size_t>(id % 36)),
          static_cast<double>(static_cast<std::int64_t>(id) * 7331 % 100000000) / 100 - 400000,
          36526.0 + static_cast<double>(spread % 700000000 / 60) / 1440,  // whole minutes
          id / 7.0};
}

// The INSERT statement a script builds for one row.
std::string InsertOf(const Row& row) {
  char numbers[64];
  std::snprintf(numbers, sizeof numbers, "%.2f, '", row.D);
  std::string statement = "insert into put_bench values (" + std::to_string(row.Id) + ", " +
                          std::to_string(row.A) + ", '" + row.S + "', " + numbers +
                          TOleVariant::Date(row.Dt).ToString() + "', ";
  std::snprintf(numbers, sizeof numbers, "%.17g)", row.F);
  return statement + numbers;
}

std::int64_t StatusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(key, 0) == 0) return std::stoll(line.substr(std::string(key).size()));
  return 0;
}

double Seconds(Clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

}  // namespace

void RunPutBench(const PutOptions& options) {
  host::THost host(host::TDialect::Expression, false,
                   [](const std::string& line) { std::cerr << line << '\n'; });
  const std::string progId = host.LoadAddin(options.AddinPath);

  // The table a script would hand over, made before any connection.
  const LateBound table(host.CreateObject(platform::FromAnsi("ValueTable")));
  for (const char* name : {"id", "a", "s", "d", "dt", "f"})
    table.Procedure(table.Id("NewColumn"), {TOleVariant(name)});
  const DISPID newLine = table.Id("NewLine");
  const DISPID setValue = table.Id("SetValue");
  for (std::int32_t id = 1; id <= options.Rows; ++id) {
    const Row row = RowOf(id);
    table.Procedure(newLine);
    const TOleVariant cells[] = {TOleVariant(row.Id),       TOleVariant(row.A),
                                 TOleVariant(row.S),        TOleVariant(row.D),
                                 TOleVariant::Date(row.Dt), TOleVariant(row.F)};
    for (std::int32_t column = 0; column < 6; ++column)
      table.Procedure(setValue, {TOleVariant(id), TOleVariant(column + 1), cells[column]});
  }

  std::unique_ptr<LatencyRelay> relay;
  if (options.LatencyMs > 0)
    relay =
        std::make_unique<LatencyRelay>(options.Port, std::chrono::milliseconds(options.LatencyMs));
  const LateBound connection(host.CreateObject(platform::FromAnsi(progId)));
  connection.Put(connection.Id("Host"), TOleVariant(options.Host));
  connection.Put(connection.Id("Port"),
                 TOleVariant(static_cast<std::int32_t>(relay ? relay->Port() : options.Port)));
  connection.Put(connection.Id("User"), TOleVariant(options.User));
  connection.Put(connection.Id("Password"), TOleVariant(options.Password));
  connection.Put(connection.Id("Db"), TOleVariant(options.Database));
  const DISPID execute = connection.Id("Execute");
  auto run = [&](const std::string& statement) {
    if (connection.Function(execute, {TOleVariant(statement)}).ToInt64() < 0)
      throw std::runtime_error(statement + ": " +
                               connection.Function(connection.Id("LastError")).ToString());
  };
  if (connection.Function(connection.Id("Connect")).ToInt32() != 1)
    throw std::runtime_error("Connect: " +
                             connection.Function(connection.Id("LastError")).ToString());
  run("drop table if exists put_bench");
  run("create table put_bench (id int primary key, a int, s varchar(40), d decimal(12,2), "
      "dt datetime, f double) engine=InnoDB");
  run(options.RefuseLocalFiles ? "set global local_infile = 0" : "set global local_infile = 1");

  const std::int64_t peakBefore = StatusKb("VmHWM:");
  const auto putStart = Clock::now();
  const TOleVariant written = connection.Function(
      connection.Id("PutAll"),
      {table.Object(), TOleVariant("put_bench"), TOleVariant(""), TOleVariant("")});
  const double putSeconds = Seconds(Clock::now() - putStart);
  const std::int64_t peakAfter = StatusKb("VmHWM:");
  if (written.ToInt64() != options.Rows)
    throw std::runtime_error("PutAll wrote " + written.ToString() + " rows: " +
                             connection.Function(connection.Id("LastError")).ToString());

  run("truncate table put_bench");
  const int loopRows = std::min(options.LoopRows, options.Rows);
  const auto loopStart = Clock::now();
  if (options.LoopInTransaction) run("start transaction");
  for (std::int32_t id = 1; id <= loopRows; ++id) run(InsertOf(RowOf(id)));
  if (options.LoopInTransaction) run("commit");
  const double loopSeconds = Seconds(Clock::now() - loopStart) * options.Rows / loopRows;
  run("set global local_infile = 1");
  run("drop table put_bench");

  std::printf("| %d ms | %s | %d | %.2f s | %.0f s%s%s | %.0f× | %lld MiB |\n", options.LatencyMs,
              options.RefuseLocalFiles ? "INSERT statements" : "LOAD DATA LOCAL", options.Rows,
              putSeconds, loopSeconds, options.LoopInTransaction ? " in one transaction" : "",
              loopRows < options.Rows ? " (scaled)" : "", loopSeconds / putSeconds,
              static_cast<long long>((peakAfter - peakBefore + 512) / 1024));
}

}  // namespace bench
