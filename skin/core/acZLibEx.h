// Unit acZLibEx: a read-only stream that inflates zlib data (RFC 1950) from
// a source stream, and the exceptions of the zlib layer. Portable.
#pragma once

#include <zlib.h>

#include <memory>

#include "Classes.h"

// A zlib failure; the message is zlib's text for the result code unless a
// more specific one is given.
class EZLibError : public Exception {
public:
    KES_CLASS_NAME(EZLibError)
    explicit EZLibError(Integer Code);
    EZLibError(Integer Code, String Message);
    Integer ErrorCode() const { return FErrorCode; }

    // The text of a zlib result code ("data error", "stream end", ...).
    static String CodeText(Integer Code);

protected:
    Integer FErrorCode;
};

class EZDecompressionError : public EZLibError {
public:
    KES_CLASS_NAME(EZDecompressionError)
    using EZLibError::EZLibError;
};

using TZStreamRec = z_stream;

// Input block read from the source at a time.
constexpr Integer ZInputBufferSize = 0x20000;

class TCustomZStream : public TStream {
public:
    KES_CLASS_NAME(TCustomZStream)
    TNotifyEvent OnProgress;   // called after each block read from the source

protected:
    explicit TCustomZStream(TStream& Stream);
    void Progress();

    TStream* FStream;          // the source, not owned
    Int64 FStreamPos;          // where the next input block is read from
    TZStreamRec FZStream{};
    std::unique_ptr<Byte[]> FBuffer;
};

// Inflates from Source, starting at Source's position when the stream is
// made. Once the zlib stream has ended, Source stands on the first byte after
// it.
class TZDecompressionStream : public TCustomZStream {
public:
    KES_CLASS_NAME(TZDecompressionStream)
    explicit TZDecompressionStream(TStream& Source);
    ~TZDecompressionStream() override;

    // Delivers up to Count unpacked bytes; fewer only at the end of the zlib
    // stream or when the source has no more input. Raises
    // EZDecompressionError on corrupt data.
    Integer Read(void* buffer, Integer count) override;
    // Always raises EZDecompressionError "Invalid ZStream operation!".
    Integer Write(const void* buffer, Integer count) override;
    // Forward only (by reading), or back to the start (the inflater restarts
    // at the point where the stream was made). Answers the unpacked position.
    Int64 Seek(Int64 offset, TSeekOrigin origin) override;

    // The zlib stream has ended (its checksum has been read and verified).
    bool StreamEnded() const { return FLastResult == Z_STREAM_END; }
    // Where the stream was made in the source.
    Int64 SourceStart() const { return FStreamStart; }

private:
    void Skip(Int64 count);
    Int64 FStreamStart;
    int FLastResult = Z_OK;
};
