#pragma once
// The SQLite connection behind a host project: opening and creating project
// files, prepared statements, transactions and the mapping of SQLite errors
// to HRESULTs with a readable text.
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/hresult.h"
#include "com/barrier.h"
#include "host/project_errors.h"

struct sqlite3;
struct sqlite3_stmt;

namespace host {

// A failed project operation: the HRESULT a COM caller receives and a
// one-line text for people.
class ProjectError : public com::HResultError {
 public:
  using com::HResultError::HResultError;
};

// The HRESULT that fits an SQLite result code (busy → lock violation,
// read-only → access denied, full → disk full, not a database → bad format,
// a damaged file or a missing table → invalid data ...).
HRESULT HResultFromSqlite(int code);

// Layout version of the project file; later versions add tables and columns.
constexpr int kProjectSchemaVersion = 3;

// One open project file. Shared by every object that reads or writes it; the
// connection closes when the last holder lets go. The file is kept in WAL
// mode with synchronous NORMAL: a killed process never corrupts it nor loses
// a committed change (a power failure may lose the last changes, but the
// file stays consistent). A writer waits for another one up to the busy
// timeout and then fails with HRESULT_FROM_WIN32(ERROR_LOCK_VIOLATION).
// Every failure names the project and its cause ("the project /x/p.db is
// damaged: no such table: devices", "... cannot be saved: the disk is full").
class ProjectStore {
 public:
  // Opens an existing project for reading and writing. Refuses a missing
  // file, a file that is not a project, a project of a newer layout and one
  // that lacks a table or column of its layout; brings an older layout up to
  // date. A project whose file or folder cannot be written (permissions, a
  // read-only mount) is opened for reading only, as by OpenReadOnly: it can
  // be read, and every change fails with E_ACCESSDENIED and says why.
  static std::shared_ptr<ProjectStore> Open(const std::string& path, int busyTimeoutMs = 5000);
  // Opens an existing project for reading only: nothing is written to it,
  // not even a layout upgrade or the journal mode, so that a read-only file,
  // folder or mount is enough. Refuses what Open refuses, except an older
  // layout, which is read as it is.
  static std::shared_ptr<ProjectStore> OpenReadOnly(const std::string& path, int busyTimeoutMs = 5000);
  // Creates a new project file (and its folder). Refuses an existing file;
  // the file appears complete or not at all.
  static std::shared_ptr<ProjectStore> Create(const std::string& path, const std::string& name,
                                              int busyTimeoutMs = 5000);

  ~ProjectStore();
  ProjectStore(const ProjectStore&) = delete;
  ProjectStore& operator=(const ProjectStore&) = delete;

  sqlite3* Db() const { return db_; }
  const std::string& Path() const { return path_; }
  // True when the project was opened for reading only.
  bool ReadOnly() const { return readOnly_; }
  // The layout version of the file as it is open (the current one unless
  // an older project was opened for reading only).
  int Layout() const { return layout_; }
  // Whether devices carry a revision counter (layout 3 on).
  bool HasRevisions() const { return layout_ >= 3; }
  // Serialises the use of the connection between threads.
  std::recursive_mutex& Mutex() { return mutex_; }

  // Runs SQL without results; throws ProjectError on failure.
  void Exec(const char* sql);
  // Row id of the last row inserted through this connection.
  int64_t LastInsertId() const;
  // Rows changed by the last statement.
  int Changes() const;
  // Throws the error of the last failed call as a ProjectError.
  [[noreturn]] void Fail(int code, std::string_view what) const;
  // The one-line text of a failure with SQLite result `code` while doing
  // `what`: the project's path and the cause.
  std::string Describe(int code, std::string_view what, std::string_view sqliteMessage) const;

 private:
  friend class Transaction;
  ProjectStore(sqlite3* db, std::string path, bool readOnly, int busyTimeoutMs)
      : db_(db), path_(std::move(path)), readOnly_(readOnly), busyTimeoutMs_(busyTimeoutMs) {}
  static sqlite3* OpenConnection(const std::string& path, bool create, int busyTimeoutMs);
  // The layout version of a project file; throws for anything else.
  int CheckIsProject();

  sqlite3* db_;
  std::string path_;
  bool readOnly_ = false;
  int busyTimeoutMs_ = 0;
  int layout_ = kProjectSchemaVersion;
  int savepoints_ = 0;  // savepoints opened so far (their names)
  std::recursive_mutex mutex_;
};

// A prepared statement with 1-based parameters and 0-based result columns.
class Statement {
 public:
  Statement(ProjectStore& store, const char* sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, int64_t value);
  Statement& Bind(int index, std::string_view text);
  Statement& BindBlob(int index, const void* data, size_t size);
  Statement& BindNull(int index);

  // Steps once: true when a row is ready, false when done.
  bool Step();
  // Steps to the end of a statement that returns no rows.
  void Run() {
    while (Step()) {
    }
  }
  void Reset();

  int64_t Int(int column) const;
  std::string Text(int column) const;
  bool IsNull(int column) const;
  const uint8_t* BlobData(int column) const;
  size_t BlobSize(int column) const;

 private:
  ProjectStore& store_;
  sqlite3_stmt* stmt_ = nullptr;
};

// One write transaction (BEGIN IMMEDIATE): rolled back unless committed, so
// that a failure leaves the previous state. Holds the store's lock. Inside
// another transaction of the same connection it is a savepoint: its changes
// become part of the outer transaction and are lost when that one is rolled
// back, so that several changes (a new device and the configuration the
// plug-in stores for it) are kept together or not at all. On a project open
// for reading only it throws E_ACCESSDENIED.
class Transaction {
 public:
  explicit Transaction(ProjectStore& store);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit();

 private:
  ProjectStore& store_;
  std::lock_guard<std::recursive_mutex> lock_;
  std::string savepoint_;  // empty for the outermost transaction
  bool done_ = false;
};

}  // namespace host
