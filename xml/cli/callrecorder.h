#pragma once
// A document handler that writes every call it receives as one text line,
// in the form StartElementLongA("Address", 4354) or Error(0xC0050001, 3),
// and lets its owner decide each call's result (to abort a parse, or to add
// handlers from inside a callback).
#include <functional>
#include <string>

#include "com/comptr.h"
#include "com/object.h"
#include "xmlweave.h"

namespace xmlweave {

class CallRecorder : public IDocumentHandler, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDocumentHandler;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IDocumentHandler>(this, iid, ppv);
  }

  // Receives each line.
  std::function<void(const std::string& line)> sink;
  // Decides the result of a call, given the method's name; S_OK without one.
  std::function<HRESULT(const char* method)> result;
  // Told every Error call's code and line, before the line goes to `sink`.
  std::function<void(HRESULT hr, uint32_t line)> error;

  // A new recorder with one reference.
  static com::ComPtr<CallRecorder> Make();

  HRESULT StartDocument() override;
  HRESULT EndDocument() override;
  HRESULT FileVersionA(const char* szName, const char* szVersion) override;
  HRESULT CommentA(const char* szComment) override;
  HRESULT StartElementLongA(const char* szName, int32_t nVal) override;
  HRESULT StartElementBoolA(const char* szName, int32_t bVal) override;
  HRESULT StartElementFloatA(const char* szName, float fVal) override;
  HRESULT StartElementStringA(const char* szName, const char* szVal) override;
  HRESULT StartElementByteArrayA(const char* szName, uint32_t dwSize, const uint8_t* rgbyteVal) override;
  HRESULT StartElementA(const char* szName) override;
  HRESULT EndElementA(const char* szName) override;
  HRESULT Error(HRESULT hr, uint32_t dwLine) override;
  HRESULT StartElementLongArrayA(const char* szName, uint32_t dwSize, const int32_t* rglVal) override;

 private:
  HRESULT Done(const char* method, const std::string& line);
};

// "\"text\"" with C escapes for quotes, backslashes and control bytes.
std::string QuoteText(const char* s);

}  // namespace xmlweave
