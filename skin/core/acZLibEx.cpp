#include "acZLibEx.h"

#include <cstdlib>
#include <vector>

namespace {

const char16_t* const InvalidOperation = u"Invalid ZStream operation!";

voidpf ZAlloc(voidpf, uInt items, uInt size) {
    // calloc refuses a product that overflows.
    return std::calloc(items, size);
}

void ZFree(voidpf, voidpf address) { std::free(address); }

}  // namespace

String EZLibError::CodeText(Integer Code) {
    switch (Code) {
        case Z_NEED_DICT: return u"need dictionary";
        case Z_STREAM_END: return u"stream end";
        case Z_OK: return u"ok";
        case Z_ERRNO: return u"file error";
        case Z_STREAM_ERROR: return u"stream error";
        case Z_DATA_ERROR: return u"data error";
        case Z_MEM_ERROR: return u"insufficient memory";
        case Z_BUF_ERROR: return u"buffer error";
        case Z_VERSION_ERROR: return u"incompatible version";
        default: return u"zlib error " + IntToStr(Code);
    }
}

EZLibError::EZLibError(Integer Code) : Exception(CodeText(Code)), FErrorCode(Code) {}

EZLibError::EZLibError(Integer Code, String Message) : Exception(std::move(Message)), FErrorCode(Code) {}

// ---------------------------------------------------------------------------

TCustomZStream::TCustomZStream(TStream& Stream)
    : FStream(&Stream), FStreamPos(Stream.GetPosition()), FBuffer(new Byte[ZInputBufferSize]) {}

void TCustomZStream::Progress() {
    if (OnProgress) OnProgress(this);
}

TZDecompressionStream::TZDecompressionStream(TStream& Source) : TCustomZStream(Source), FStreamStart(FStreamPos) {
    FZStream.next_in = FBuffer.get();
    FZStream.avail_in = 0;
    FZStream.zalloc = ZAlloc;
    FZStream.zfree = ZFree;
    FZStream.opaque = nullptr;
    // zlib checks only the major version of the text and the record size.
    int r = inflateInit_(&FZStream, "1.2.3", static_cast<int>(sizeof(TZStreamRec)));
    if (r != Z_OK) throw EZDecompressionError(r);
}

TZDecompressionStream::~TZDecompressionStream() { inflateEnd(&FZStream); }

Integer TZDecompressionStream::Read(void* buffer, Integer count) {
    if (count <= 0 || !buffer) return 0;
    FZStream.next_out = static_cast<Bytef*>(buffer);
    FZStream.avail_out = static_cast<uInt>(count);
    if (FStream->GetPosition() != FStreamPos) FStream->SetPosition(FStreamPos);

    while (FZStream.avail_out > 0 && FLastResult != Z_STREAM_END) {
        if (FZStream.avail_in == 0) {
            Integer got = FStream->Read(FBuffer.get(), ZInputBufferSize);
            if (got <= 0) return count - static_cast<Integer>(FZStream.avail_out);
            FZStream.next_in = FBuffer.get();
            FZStream.avail_in = static_cast<uInt>(got);
            FStreamPos = FStream->GetPosition();
            Progress();
        }
        FLastResult = inflate(&FZStream, Z_NO_FLUSH);
        // A preset dictionary is never supplied, so asking for one is as
        // fatal as corrupt data (and would otherwise repeat forever).
        if (FLastResult < 0 || FLastResult == Z_NEED_DICT) {
            int code = FLastResult;
            FLastResult = Z_DATA_ERROR;
            throw EZDecompressionError(code);
        }
    }

    if (FLastResult == Z_STREAM_END && FZStream.avail_in > 0) {
        // Give back what follows the zlib stream.
        FStreamPos -= FZStream.avail_in;
        FStream->SetPosition(FStreamPos);
        FZStream.avail_in = 0;
    }
    return count - static_cast<Integer>(FZStream.avail_out);
}

Integer TZDecompressionStream::Write(const void*, Integer) { throw EZDecompressionError(Z_STREAM_ERROR, InvalidOperation); }

void TZDecompressionStream::Skip(Int64 count) {
    std::vector<Byte> scrap(16384);
    while (count > 0) {
        Integer n = static_cast<Integer>(std::min<Int64>(count, static_cast<Int64>(scrap.size())));
        ReadBuffer(scrap.data(), n);
        count -= n;
    }
}

Int64 TZDecompressionStream::Seek(Int64 offset, TSeekOrigin origin) {
    const Int64 done = static_cast<Int64>(FZStream.total_out);
    if (origin == TSeekOrigin::soBeginning && offset == 0) {
        inflateReset(&FZStream);
        FZStream.next_in = FBuffer.get();
        FZStream.avail_in = 0;
        FLastResult = Z_OK;
        FStreamPos = FStreamStart;
        FStream->SetPosition(FStreamPos);
    } else if (origin == TSeekOrigin::soCurrent && offset >= 0) {
        Skip(offset);
    } else if (origin == TSeekOrigin::soBeginning && offset >= done) {
        Skip(offset - done);
    } else if (origin == TSeekOrigin::soEnd && offset == 0) {
        std::vector<Byte> scrap(16384);
        while (Read(scrap.data(), static_cast<Integer>(scrap.size())) > 0) {
        }
    } else {
        throw EZDecompressionError(Z_STREAM_ERROR, InvalidOperation);
    }
    return static_cast<Int64>(FZStream.total_out);
}
