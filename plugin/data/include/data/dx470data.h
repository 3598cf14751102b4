#pragma once
// CDX470Data: one device's configuration (the BLOB) and its link to the host
// device it belongs to: reading and writing the BLOB as the device's
// extension data, mirroring 33 bytes into host parameters, and the
// descriptive texts of the device.
#include <string>

#include "com/comptr.h"
#include "data/records.h"
#include "hostapi/device.h"
#include "hostapi/dx47x_blob.h"
#include "logger/logger.h"

class CDX470Data {
 public:
  // Extension-data key of the BLOB.
  static constexpr const char16_t* kBlobKey = dx47x::blob::kKeyWide;
  // Result of a device without BLOB, and of a host device whose parameter
  // count is not the application program's.
  static constexpr HRESULT kNoBlob = MakeHResult(0x80070567);
  // Result of a stored BLOB of another version.
  static constexpr HRESULT kBadVersion = NTE_BAD_VER;
  // No visible communication object has the number asked for.
  static constexpr HRESULT kObjectNotFound = MakeHResult(0x80070003);
  static constexpr int kMirroredCount = 33;

  // The BLOB holds the defaults of a new device; the host link is empty.
  CDX470Data();
  virtual ~CDX470Data();
  CDX470Data(const CDX470Data&) = delete;
  CDX470Data& operator=(const CDX470Data&) = delete;

  // --- host link and storage
  HRESULT EtsInit(IUnknown* device);
  // Fills target only with a stored value that is complete and valid.
  HRESULT EtsReadBlob(dx470::TYPE_DX470_BLOB_COMPLETE* target);
  HRESULT EtsWriteBlob(const dx470::TYPE_DX470_BLOB_COMPLETE* source);
  bool IsBound() const { return static_cast<bool>(m_spDevice); }

  // Reads the stored BLOB into this object.
  HRESULT DataInit();
  HRESULT ReadBlobAndEtsParameter() { return DataInit(); }

  // --- host parameters
  // Writes the 33 mirrored parameters, then the BLOB.
  HRESULT WriteBlobAndEtsParameter();
  HRESULT WriteBlob() { return WriteBlobAndEtsParameter(); }
  HRESULT EtsWriteParameter(const uint8_t* values, SHORT count, bool force);
  HRESULT EtsSet_FlagParmetersLoaded(LONG loaded);
  // The 33 values mirrored from the current configuration.
  void BuildMirroredValues(uint8_t (&values)[kMirroredCount]) const;

  // --- descriptive texts of the device (UTF-8)
  HRESULT EtsGetDeviceName(std::string& text);
  HRESULT EtsGetPhysicalAddress(std::string& text);
  HRESULT EtsApplicationVersion(std::string& text);
  HRESULT EtsApplicationDeviceType(std::string& text);

  // --- communication objects and the printed header (UTF-8 texts)
  // The visible communication object with that number (compared as 16-bit
  // values); `object` and `count` (the visible objects) may be null.
  // 0x80070003 when no visible object has the number.
  HRESULT SearchDeviceCommunicationObject(SHORT number, IDeviceCommunicationObject** object, LONG* count);
  // Name and function of an object; its group addresses as numbers ("%d "
  // each) and formatted ("M/M/S; " each), in the host's order.
  HRESULT EtsGetGAsToObject(SHORT number, std::string& name, std::string& function, std::string& numbers,
                            std::string& addresses);
  // Appends the project name to `project` and "physical address / label
  // program" to `address`; sets `product` and `description`.
  HRESULT EtsGetHeaderDataForPrinting(std::string& project, std::string& product, std::string& description,
                                      std::string& address, const std::string& label);

  // --- the configuration
  void InitBlob();
  void InitParam(dx470::PARAM& param);
  dx470::TYPE_DX470_BLOB_COMPLETE& Blob() { return m_oBlob; }
  const dx470::TYPE_DX470_BLOB_COMPLETE& Blob() const { return m_oBlob; }
  dx470::PARAM& Param() { return m_oBlob.Current; }
  const dx470::PARAM& Param() const { return m_oBlob.Current; }
  IDevice* Device() const { return m_spDevice.Get(); }

 private:
  HRESULT ApplicationProgram(com::ComPtr<IApplicationProgram>& program);
  HRESULT AppendAssociation(IAssociations* associations, LONG index, std::string& numbers,
                            std::string& addresses);
  HRESULT ReadProjectName(std::string& name);

  com::ComPtr<IDevice> m_spDevice;
  com::ComPtr<IDeviceExtData> m_spDeviceExtData;
  dx470::TYPE_DX470_BLOB_COMPLETE m_oBlob;
  CLogger m_oLog;
};
