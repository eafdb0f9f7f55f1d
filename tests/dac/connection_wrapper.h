// A connection that forwards every call to another one, so that a test can
// override the one call it wants to watch or to fail (a refused batch, a
// cursor that counts its fetches), whatever driver stands behind it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dac/driver.h"

namespace dac::testing {

// Forwards every call to `target`; a test derives and overrides the call it
// wants to fail.
class ConnectionWrapper : public Connection {
 public:
  explicit ConnectionWrapper(std::unique_ptr<Connection> target) : target_(std::move(target)) {}
  std::unique_ptr<Cursor> Query(const std::string& sql, const std::vector<Value>& params) override {
    return target_->Query(sql, params);
  }
  std::int64_t Execute(const std::string& sql, const std::vector<Value>& params) override {
    return target_->Execute(sql, params);
  }
  std::int64_t CountRows(const std::string& sql, const std::vector<Value>& params) override {
    return target_->CountRows(sql, params);
  }
  InsertResult InsertRows(const std::string& table, const std::vector<std::string>& columns,
                          const std::vector<Row>& rows, std::size_t first) override {
    return target_->InsertRows(table, columns, rows, first);
  }
  void StartTransaction() override { target_->StartTransaction(); }
  void Commit() override { target_->Commit(); }
  void Rollback() override { target_->Rollback(); }
  bool InTransaction() const override { return target_->InTransaction(); }
  std::string ServerVersion() override { return target_->ServerVersion(); }
  bool Supports(Feature feature) const override { return target_->Supports(feature); }

 protected:
  Connection& target() { return *target_; }

 private:
  std::unique_ptr<Connection> target_;
};

// A driver whose connections are wrapped by `wrap`.
class WrappingDriver : public Driver {
 public:
  using Wrap = std::function<std::unique_ptr<Connection>(std::unique_ptr<Connection>)>;
  WrappingDriver(std::shared_ptr<Driver> target, Wrap wrap) : target_(std::move(target)), wrap_(std::move(wrap)) {}
  std::string Name() const override { return target_->Name() + "+fault"; }
  std::unique_ptr<Connection> Connect(const ConnectParams& params) override {
    return wrap_(target_->Connect(params));
  }

 private:
  std::shared_ptr<Driver> target_;
  Wrap wrap_;
};

}  // namespace dac::testing
