#include "host/project_store.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/strings.h"
#include "host/project_schema.h"
#include "win/file.h"

namespace host {
namespace {

constexpr DWORD kErrorOpenFailed = 110;  // ERROR_OPEN_FAILED

std::string Errmsg(sqlite3* db, int code) {
  const char* m = db ? sqlite3_errmsg(db) : nullptr;
  return m && *m ? m : sqlite3_errstr(code);
}

// A statement naming a table or column that the file lacks: the statements
// are fixed, so the file was changed behind this program.
bool NamesAMissingPart(int code, std::string_view msg) {
  return (code & 0xFF) == SQLITE_ERROR &&
         (msg.rfind("no such table", 0) == 0 || msg.rfind("no such column", 0) == 0);
}

// The HRESULT of a failure: as HResultFromSqlite, and invalid data for a
// project that lacks a table or column.
HRESULT HResultFor(int code, std::string_view msg) {
  return NamesAMissingPart(code, msg) ? HRESULT_FROM_WIN32(ERROR_INVALID_DATA) : HResultFromSqlite(code);
}

// Removes a file if present; failures are ignored (best effort clean-up).
void RemoveQuietly(const std::string& path) { ::unlink(path.c_str()); }

}  // namespace

HRESULT HResultFromSqlite(int code) {
  switch (code & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return S_OK;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return HRESULT_FROM_WIN32(ERROR_LOCK_VIOLATION);
    case SQLITE_NOMEM: return E_OUTOFMEMORY;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return E_ACCESSDENIED;
    case SQLITE_IOERR:
      return HRESULT_FROM_WIN32(code == SQLITE_IOERR_READ || code == SQLITE_IOERR_SHORT_READ
                                    ? ERROR_READ_FAULT
                                    : ERROR_WRITE_FAULT);
    case SQLITE_CORRUPT: return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    case SQLITE_NOTADB: return HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
    case SQLITE_FULL: return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    case SQLITE_CANTOPEN: return HRESULT_FROM_WIN32(kErrorOpenFailed);
    case SQLITE_CONSTRAINT:
    case SQLITE_TOOBIG:
    case SQLITE_MISMATCH:
    case SQLITE_RANGE: return E_INVALIDARG;
    default: return E_FAIL;
  }
}

sqlite3* ProjectStore::OpenConnection(const std::string& path, bool create, int busyTimeoutMs) {
  sqlite3* db = nullptr;
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string msg = Errmsg(db, rc);
    sqlite3_close(db);
    throw ProjectError(HResultFromSqlite(rc), "cannot open project " + path + ": " + msg);
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, busyTimeoutMs);
  return db;
}

namespace {

void RefuseMissing(const std::string& path) {
  if (!win::FileExists(path)) {
    DWORD e = win::DirectoryExists(path) ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
    throw ProjectError(HRESULT_FROM_WIN32(e),
                       "project " + path + " does not exist (create it with 'dx47x-host init')");
  }
}

// Whether this process may change the file and create its journal files
// beside it (a read-only mount answers no even to root).
bool CanWrite(const std::string& path) {
  std::string folder = win::ParentDirectory(path);
  if (folder.empty()) folder = ".";
  return ::access(path.c_str(), W_OK) == 0 && ::access(folder.c_str(), W_OK) == 0;
}

// "file:" URI of a path for sqlite3_open_v2 with SQLITE_OPEN_URI: every byte
// but unreserved characters and '/' percent-encoded.
std::string FileUri(const std::string& path, const char* query) {
  std::string uri = "file:";
  for (unsigned char c : path) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
      uri += char(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      uri += hex;
    }
  }
  return uri + "?" + query;
}

sqlite3* OpenReading(const std::string& path, const char* query, int busyTimeoutMs) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(FileUri(path, query).c_str(), &db,
                           SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string msg = Errmsg(db, rc);
    sqlite3_close(db);
    throw ProjectError(HResultFromSqlite(rc), "cannot open project " + path + ": " + msg);
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, busyTimeoutMs);
  return db;
}

// The result of a first read of a freshly opened connection.
int FirstRead(sqlite3* db) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &stmt, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
  sqlite3_finalize(stmt);
  return rc == SQLITE_ROW ? SQLITE_OK : rc;
}

// True when the write-ahead journal beside a project holds changes.
bool JournalHoldsChanges(const std::string& path) {
  struct stat st {};
  return ::stat((path + "-wal").c_str(), &st) == 0 && st.st_size > 0;
}

}  // namespace

std::shared_ptr<ProjectStore> ProjectStore::Open(const std::string& path, int busyTimeoutMs) {
  RefuseMissing(path);
  if (!CanWrite(path)) return OpenReadOnly(path, busyTimeoutMs);
  std::shared_ptr<ProjectStore> store(
      new ProjectStore(OpenConnection(path, false, busyTimeoutMs), path, false, busyTimeoutMs));
  int version = store->CheckIsProject();
  CheckProjectSchema(*store, version);
  store->Exec("PRAGMA foreign_keys = ON; PRAGMA synchronous = NORMAL;");
  // The mode is kept in the file; a project copied in another mode is switched back.
  {
    Statement mode(*store, "PRAGMA journal_mode");
    if (mode.Step() && mode.Text(0) != "wal") {
      mode.Reset();
      store->Exec("PRAGMA journal_mode = WAL;");
    }
  }
  if (version < kProjectSchemaVersion) UpgradeProjectSchema(*store, version);
  return store;
}

std::shared_ptr<ProjectStore> ProjectStore::OpenReadOnly(const std::string& path, int busyTimeoutMs) {
  RefuseMissing(path);
  std::shared_ptr<ProjectStore> store(
      new ProjectStore(OpenReading(path, "mode=ro", busyTimeoutMs), path, true, busyTimeoutMs));
  // A project in write-ahead mode needs its shared-memory file, which a
  // read-only folder or mount cannot take (the first read fails as "cannot
  // open" or "read-only"). Without pending changes in the journal the file
  // alone is the whole project and can be read as unchangeable; with them
  // it would read as it was before those changes.
  const int first = FirstRead(store->Db()) & 0xFF;
  if (first == SQLITE_CANTOPEN || first == SQLITE_READONLY) {
    if (JournalHoldsChanges(path))
      throw ProjectError(E_ACCESSDENIED, "the project " + path +
                                             " cannot be read here: its folder is read-only and " + path +
                                             "-wal holds changes not yet written into it (open it once " +
                                             "where it can be written)");
    store.reset(
        new ProjectStore(OpenReading(path, "mode=ro&immutable=1", busyTimeoutMs), path, true, busyTimeoutMs));
  }
  int version = store->CheckIsProject();
  CheckProjectSchema(*store, version);
  store->Exec("PRAGMA foreign_keys = ON;");
  store->layout_ = version;
  return store;
}

int ProjectStore::CheckIsProject() {
  int appId = 0, version = 0;
  {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, "PRAGMA application_id", -1, &stmt, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) appId = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_ROW) {
      if ((rc & 0xFF) == SQLITE_NOTADB || (rc & 0xFF) == SQLITE_CORRUPT)
        throw ProjectError(HRESULT_FROM_WIN32(ERROR_BAD_FORMAT), path_ + " is not a project file");
      Fail(rc, "reading project " + path_);
    }
  }
  if (appId != kProjectApplicationId)
    throw ProjectError(HRESULT_FROM_WIN32(ERROR_BAD_FORMAT), path_ + " is not a project file");
  Statement v(*this, "PRAGMA user_version");
  if (v.Step()) version = static_cast<int>(v.Int(0));
  if (version < 1) throw ProjectError(HRESULT_FROM_WIN32(ERROR_BAD_FORMAT), path_ + " is not a project file");
  if (version > kProjectSchemaVersion)
    throw ProjectError(
        HRESULT_FROM_WIN32(ERROR_BAD_FORMAT),
        path_ + " was made by a newer version of this program (layout " + std::to_string(version) + ")");
  return version;
}

std::shared_ptr<ProjectStore> ProjectStore::Create(const std::string& path, const std::string& name,
                                                   int busyTimeoutMs) {
  if (win::FileExists(path) || win::DirectoryExists(path))
    throw ProjectError(HRESULT_FROM_WIN32(ERROR_FILE_EXISTS),
                       "project " + path + " already exists; it is left as it is");
  std::string folder = win::ParentDirectory(path);
  if (DWORD e = win::CreateDirectories(folder); e != ERROR_SUCCESS)
    throw ProjectError(HRESULT_FROM_WIN32(e), "cannot create the folder " + folder);

  // The project is built under a temporary name and linked into place, so
  // that the file appears complete or not at all and an existing file that
  // appears meanwhile is never replaced.
  std::string temp = path + ".init-" + std::to_string(::getpid());
  RemoveQuietly(temp);
  try {
    ProjectStore building(OpenConnection(temp, true, busyTimeoutMs), temp, false, busyTimeoutMs);
    building.Exec("PRAGMA foreign_keys = ON;");
    CreateProjectSchema(building, name);
    building.Exec("PRAGMA journal_mode = WAL;");
  } catch (...) {
    RemoveQuietly(temp);
    RemoveQuietly(temp + "-wal");
    RemoveQuietly(temp + "-shm");
    throw;
  }
  // Journal files left behind by a project that was deleted at this path
  // would be replayed into the new one.
  RemoveQuietly(path + "-wal");
  RemoveQuietly(path + "-shm");
  int rc = ::link(temp.c_str(), path.c_str());
  int err = errno;
  if (rc != 0 && (err == EPERM || err == ENOTSUP || err == EXDEV) && !win::FileExists(path))
    rc = ::rename(temp.c_str(), path.c_str()), err = errno;
  RemoveQuietly(temp);
  if (rc != 0) {
    if (err == EEXIST)
      throw ProjectError(HRESULT_FROM_WIN32(ERROR_FILE_EXISTS),
                         "project " + path + " already exists; it is left as it is");
    throw ProjectError(HRESULT_FROM_WIN32(win::Win32ErrorFromErrno(err, path)),
                       "cannot create project " + path + ": " + std::strerror(err));
  }
  return Open(path, busyTimeoutMs);
}

ProjectStore::~ProjectStore() { sqlite3_close_v2(db_); }

void ProjectStore::Exec(const char* sql) {
  char* err = nullptr;
  int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &err);
  if (rc != SQLITE_OK) {
    std::string msg = err ? err : sqlite3_errstr(rc);
    sqlite3_free(err);
    throw ProjectError(HResultFor(rc, msg), Describe(rc, "changing the project", msg));
  }
}

int64_t ProjectStore::LastInsertId() const { return sqlite3_last_insert_rowid(db_); }

int ProjectStore::Changes() const { return sqlite3_changes(db_); }

void ProjectStore::Fail(int code, std::string_view what) const {
  const std::string msg = Errmsg(db_, code);
  throw ProjectError(HResultFor(code, msg), Describe(code, what, msg));
}

std::string ProjectStore::Describe(int code, std::string_view what, std::string_view sqliteMessage) const {
  const std::string project = "the project " + path_;
  const std::string msg(sqliteMessage);
  const int err = db_ ? sqlite3_system_errno(db_) : 0;
  const std::string system = err ? std::string(" (") + std::strerror(err) + ")" : std::string();
  switch (code & 0xFF) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return project + " is damaged: " + msg;
    case SQLITE_ERROR:
      if (NamesAMissingPart(code, msg)) return project + " is damaged: " + msg;
      break;
    case SQLITE_FULL:
      return project + " cannot be saved: the disk is full (" + msg + "); nothing was changed";
    case SQLITE_READONLY:
      return project + " cannot be changed: it is read-only here (" + msg + "); nothing was changed";
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return project + " is locked by another program (" + msg + " after waiting " +
             base::Format("%.1f s", busyTimeoutMs_ / 1000.0) + "); try again when it is done";
    case SQLITE_IOERR:
      if (err == ENOSPC)
        return project + " cannot be saved: the disk is full" + system + "; nothing was changed";
      if (err == EFBIG)
        return project + " cannot be saved: the file would grow beyond the size this program may write" +
               system + "; nothing was changed";
      if (err == EROFS)
        return project + " cannot be changed: it is on a read-only file system; nothing was changed";
      // The system's error number is not always kept; a failed write of the
      // file or its journal (a full disk, a file-size limit) is still one.
      if (code == SQLITE_IOERR_WRITE || code == SQLITE_IOERR_FSYNC || code == SQLITE_IOERR_TRUNCATE ||
          code == SQLITE_IOERR_DIR_FSYNC || code == SQLITE_IOERR_SHMSIZE || code == SQLITE_IOERR_SHMMAP)
        return project + " cannot be saved: writing the file failed (" + msg + system +
               "; the disk may be full or the file larger than this program may write); "
               "nothing was changed";
      return std::string(what) + ": " + msg + system + " (" + project + ")";
    default: break;
  }
  return std::string(what) + ": " + msg + system + " (" + project + ")";
}

Statement::Statement(ProjectStore& store, const char* sql) : store_(store) {
  int rc = sqlite3_prepare_v2(store.Db(), sql, -1, &stmt_, nullptr);
  if (rc != SQLITE_OK) store.Fail(rc, "preparing a query");
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::Bind(int index, int64_t value) {
  if (int rc = sqlite3_bind_int64(stmt_, index, value); rc != SQLITE_OK) store_.Fail(rc, "binding");
  return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
  int rc = sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  if (rc != SQLITE_OK) store_.Fail(rc, "binding");
  return *this;
}

Statement& Statement::BindBlob(int index, const void* data, size_t size) {
  // A zero-length value stays a BLOB (not NULL).
  static const uint8_t kEmpty = 0;
  int rc = sqlite3_bind_blob64(stmt_, index, size ? data : &kEmpty, size, SQLITE_STATIC);
  if (rc != SQLITE_OK) store_.Fail(rc, "binding");
  return *this;
}

Statement& Statement::BindNull(int index) {
  if (int rc = sqlite3_bind_null(stmt_, index); rc != SQLITE_OK) store_.Fail(rc, "binding");
  return *this;
}

bool Statement::Step() {
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite3_reset(stmt_);
  store_.Fail(rc, "project query");
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Statement::Text(int column) const {
  const unsigned char* t = sqlite3_column_text(stmt_, column);
  return t ? std::string(reinterpret_cast<const char*>(t),
                         static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
           : std::string();
}

bool Statement::IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

const uint8_t* Statement::BlobData(int column) const {
  return static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
}

size_t Statement::BlobSize(int column) const {
  return static_cast<size_t>(sqlite3_column_bytes(stmt_, column));
}

Transaction::Transaction(ProjectStore& store) : store_(store), lock_(store.Mutex()) {
  if (store_.ReadOnly())
    throw ProjectError(E_ACCESSDENIED, "the project " + store_.Path() +
                                           " is open for reading only (its file, folder or file "
                                           "system cannot be written); nothing was changed");
  if (sqlite3_get_autocommit(store_.Db())) {
    store_.Exec("BEGIN IMMEDIATE");
  } else {
    savepoint_ = "nested_" + std::to_string(++store_.savepoints_);
    store_.Exec(("SAVEPOINT " + savepoint_).c_str());
  }
}

Transaction::~Transaction() {
  if (done_) return;
  // A failed statement may have ended the transaction already; then these
  // fail harmlessly.
  if (savepoint_.empty()) {
    sqlite3_exec(store_.Db(), "ROLLBACK", nullptr, nullptr, nullptr);
  } else {
    // Without allocating: the destructor runs while a std::bad_alloc
    // unwinds, and nothing may leave it. A savepoint's name is short.
    char sql[64];
    std::snprintf(sql, sizeof sql, "ROLLBACK TO %s", savepoint_.c_str());
    sqlite3_exec(store_.Db(), sql, nullptr, nullptr, nullptr);
    std::snprintf(sql, sizeof sql, "RELEASE %s", savepoint_.c_str());
    sqlite3_exec(store_.Db(), sql, nullptr, nullptr, nullptr);
  }
}

void Transaction::Commit() {
  store_.Exec(savepoint_.empty() ? "COMMIT" : ("RELEASE " + savepoint_).c_str());
  done_ = true;
}

}  // namespace host
