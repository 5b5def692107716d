// Streams of the framework. Portable.
#pragma once

#include <vector>

#include "FileIO.h"
#include "SysUtils.h"

KES_DECLARE_EXCEPTION(EStreamError, Exception)
KES_DECLARE_EXCEPTION(EFileStreamError, EStreamError)
KES_DECLARE_EXCEPTION(EFOpenError, EFileStreamError)
KES_DECLARE_EXCEPTION(EFCreateError, EFileStreamError)
KES_DECLARE_EXCEPTION(EReadError, EStreamError)
KES_DECLARE_EXCEPTION(EWriteError, EStreamError)

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// File open modes.
constexpr Word fmOpenRead = 0x0000;
constexpr Word fmOpenWrite = 0x0001;
constexpr Word fmOpenReadWrite = 0x0002;
constexpr Word fmShareDenyNone = 0x0040;
constexpr Word fmCreate = 0xFF00;

class TStream : public TObject {
public:
    KES_CLASS_NAME(TStream)
    // Reads up to Count bytes; returns the number read.
    virtual Integer Read(void* buffer, Integer count) = 0;
    virtual Integer Write(const void* buffer, Integer count) = 0;
    virtual Int64 Seek(Int64 offset, TSeekOrigin origin) = 0;

    Int64 GetPosition() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(Int64 pos) { Seek(pos, TSeekOrigin::soBeginning); }
    virtual Int64 GetSize();
    virtual void SetSize(Int64 newSize);

    // Reads or writes exactly Count bytes or raises EReadError / EWriteError.
    void ReadBuffer(void* buffer, Integer count);
    void WriteBuffer(const void* buffer, Integer count);
    // Copies Count bytes (all of Source from its start when Count is 0).
    Int64 CopyFrom(TStream& source, Int64 count);
};

class THandleStream : public TStream {
public:
    KES_CLASS_NAME(THandleStream)
    explicit THandleStream(fileio::Handle handle) : FHandle(handle) {}
    Integer Read(void* buffer, Integer count) override;
    Integer Write(const void* buffer, Integer count) override;
    Int64 Seek(Int64 offset, TSeekOrigin origin) override;
    void SetSize(Int64 newSize) override;
    fileio::Handle Handle() const { return FHandle; }

protected:
    fileio::Handle FHandle;
};

class TFileStream : public THandleStream {
public:
    KES_CLASS_NAME(TFileStream)
    // Opens (fmOpenRead, fmOpenWrite, fmOpenReadWrite) or creates (fmCreate)
    // the file; raises EFOpenError or EFCreateError with the system's reason.
    TFileStream(const String& fileName, Word mode);
    ~TFileStream() override;
    const String& FileName() const { return FFileName; }

private:
    String FFileName;
};

class TCustomMemoryStream : public TStream {
public:
    KES_CLASS_NAME(TCustomMemoryStream)
    Integer Read(void* buffer, Integer count) override;
    Int64 Seek(Int64 offset, TSeekOrigin origin) override;
    void SaveToStream(TStream& stream);
    void SaveToFile(const String& fileName);
    const Byte* Memory() const { return FData; }
    Byte* Memory() { return FData; }

protected:
    void SetPointer(Byte* data, Int64 size) {
        FData = data;
        FSize = size;
    }
    Byte* FData = nullptr;
    Int64 FSize = 0;
    Int64 FPosition = 0;
};

class TMemoryStream : public TCustomMemoryStream {
public:
    KES_CLASS_NAME(TMemoryStream)
    Integer Write(const void* buffer, Integer count) override;
    void SetSize(Int64 newSize) override;
    void Clear();
    void LoadFromStream(TStream& stream);
    void LoadFromFile(const String& fileName);

private:
    std::vector<Byte> FBuffer;
};
