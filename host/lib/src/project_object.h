#pragma once
// The common part of the COM objects over a project that answer one
// interface: the project, the key of what the object stands for (a row id
// or a group address) and QueryInterface. A class derived from it adds only
// its interface's methods; MakeObject calls its Init.
#include <cstdint>
#include <memory>
#include <utility>

#include "host/project_com.h"

namespace host {

template <class I, class Key = int64_t>
class ProjectObject : public I, public com::ObjectRoot {
 public:
  using PrimaryInterface = I;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) { return com::QueryInterfaceOf<I>(this, iid, ppv); }
  void Init(const Project& project, Key key) {
    project_ = project;
    key_ = key;
  }

 protected:
  Project project_{nullptr};
  Key key_{};
};

// An object that shares the read mark of the device object it was reached
// from (see ReadMark).
template <class I>
class MarkedObject : public ProjectObject<I> {
 public:
  void Init(const Project& project, int64_t id, std::shared_ptr<ReadMark> mark) {
    ProjectObject<I>::Init(project, id);
    mark_ = std::move(mark);
  }

 protected:
  std::shared_ptr<ReadMark> mark_;
};

}  // namespace host
