#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

// A throw-away PostgreSQL 15 server for the tests that need one: made with initdb in a folder of
// its own on a free port, its socket in that folder, started on first use and stopped when the
// test program ends (its global environment's TearDown runs after failed tests too). As root,
// it runs as Debian's unprivileged `postgres`, since the server refuses to run as root.
namespace kestrel::production {

class PostgresServer {
 public:
  static PostgresServer& Get() {
    static PostgresServer server;
    return server;
  }

  // A new, empty database on the server, as a libpq connection string.
  std::string NewDatabase() {
    const std::string name = "kestrel_test_" + std::to_string(++databases_);
    PGconn* admin = PQconnectdb(Connection("postgres").c_str());
    PQclear(PQexec(admin, ("CREATE DATABASE " + name).c_str()));
    EXPECT_EQ(PQstatus(admin), CONNECTION_OK) << PQerrorMessage(admin);
    PQfinish(admin);
    return Connection(name);
  }
  std::string Connection(const std::string& database) const {
    return "host=" + folder_ + " port=" + std::to_string(port_) + " user=kestrel dbname=" + database;
  }
  bool Start() {
    return Run(Binary("pg_ctl") + " start -w -s -D " + folder_ + "/data -l " + folder_ + "/log -o \"-p " +
               std::to_string(port_) + " -k " + folder_ + " -c listen_addresses='' -c fsync=off\"");
  }
  bool Stop(const char* mode = "fast") {
    return Run(Binary("pg_ctl") + " stop -w -s -m " + mode + " -D " + folder_ + "/data");
  }

 private:
  PostgresServer() {
    char pattern[] = "/tmp/kestrel-pg-XXXXXX";
    folder_ = mkdtemp(pattern);
    if (geteuid() == 0) {
      const passwd* user = getpwnam("postgres");
      if (user != nullptr) {
        if (chown(folder_.c_str(), user->pw_uid, user->pw_gid) != 0) ADD_FAILURE() << folder_;
        as_ = "runuser -u postgres -- ";
      }
    }
    port_ = FreePort();
    const bool made =
        Run(Binary("initdb") + " -A trust -U kestrel -E UTF8 --locale=C --no-sync -D " + folder_ + "/data");
    if (!made || !Start()) ADD_FAILURE() << "the PostgreSQL test server did not start; see " << folder_;
    testing::AddGlobalTestEnvironment(new Ending(this));
  }
  // Stops the server after the last test, passed or failed, and removes its folder.
  struct Ending : testing::Environment {
    explicit Ending(PostgresServer* server) : server(server) {}
    void TearDown() override {
      server->Stop("immediate");
      std::filesystem::remove_all(server->folder_);
    }
    PostgresServer* server;
  };

  std::string Binary(const char* name) const { return as_ + "/usr/lib/postgresql/15/bin/" + name; }
  static bool Run(const std::string& command) { return std::system((command + " >/dev/null").c_str()) == 0; }
  static int FreePort() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
    close(probe);
    return ntohs(address.sin_port);
  }

  std::string folder_;
  std::string as_;
  int port_ = 0;
  int databases_ = 0;
};

}  // namespace kestrel::production
