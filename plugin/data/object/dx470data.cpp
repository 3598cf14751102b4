#include "data/dx470data.h"

#include "data/defaults.h"
#include "pluginwinappbase/pluginwinappbase.h"

CDX470Data::CDX470Data() : m_oLog("DX470") { InitBlob(); }

CDX470Data::~CDX470Data() = default;

void CDX470Data::InitBlob() { dx470::InitBlob(m_oBlob, Translate("Text?")); }

void CDX470Data::InitParam(dx470::PARAM& param) { dx470::InitParam(param, Translate("Text?")); }

HRESULT CDX470Data::DataInit() {
  m_oLog.Trace(TRACE_LEVEL_INFO, "DataInit()");
  m_oLog.Trace(TRACE_LEVEL_INFO,
               "TYPE_DX470_BLOB_COMPLETE=%u PARAM=%u LCD_BLOB=%u BLOCKINFORMATIONEN=%u "
               "ALLGEMEINE=%u MELDUNGSPEZIFISCHE_PARAMETER=%u ZEICHENSATZ=%u",
               unsigned(sizeof(dx470::TYPE_DX470_BLOB_COMPLETE)), unsigned(sizeof(dx470::PARAM)),
               unsigned(sizeof(dx470::LCD_BLOB)), unsigned(sizeof(dx470::BLOCKINFORMATIONEN)),
               unsigned(sizeof(dx470::ALLGEMEINE)), unsigned(sizeof(dx470::MELDUNGSPEZIFISCHE_PARAMETER)),
               unsigned(sizeof(dx470::ZEICHENSATZ)));
  HRESULT hr = EtsReadBlob(&m_oBlob);
  if (FAILED(hr)) {
    m_oLog.Trace(TRACE_LEVEL_ERROR, "Line:%d   'EtsReadBlob' mit Fehler %s fehlgeschlagen", __LINE__,
                 base::ErrorText(hr).c_str());
    return hr;
  }
  m_oLog.Trace(TRACE_LEVEL_INFO, "Parameter und Blob erfolgreich gelesen");
  return S_OK;
}
