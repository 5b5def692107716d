#include "Classes.h"

#include <algorithm>
#include <cstring>
#include <limits>

Int64 TStream::GetSize() {
    Int64 pos = Seek(0, TSeekOrigin::soCurrent);
    Int64 size = Seek(0, TSeekOrigin::soEnd);
    Seek(pos, TSeekOrigin::soBeginning);
    return size;
}

void TStream::SetSize(Int64) {}

void TStream::ReadBuffer(void* buffer, Integer count) {
    if (count != 0 && Read(buffer, count) != count) throw EReadError(u"Stream read error");
}

void TStream::WriteBuffer(const void* buffer, Integer count) {
    if (count != 0 && Write(buffer, count) != count) throw EWriteError(u"Stream write error");
}

Int64 TStream::CopyFrom(TStream& source, Int64 count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.GetSize();
    }
    const Int64 total = count;
    std::vector<char> buffer(static_cast<std::size_t>(std::min<Int64>(count, 65536)) + 1);
    while (count > 0) {
        Integer n = static_cast<Integer>(std::min<Int64>(count, static_cast<Int64>(buffer.size())));
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        count -= n;
    }
    return total;
}

Integer THandleStream::Read(void* buffer, Integer count) {
    Integer n = fileio::Read(FHandle, buffer, count);
    return n < 0 ? 0 : n;
}

Integer THandleStream::Write(const void* buffer, Integer count) {
    Integer n = fileio::Write(FHandle, buffer, count);
    return n < 0 ? 0 : n;
}

Int64 THandleStream::Seek(Int64 offset, TSeekOrigin origin) {
    auto o = origin == TSeekOrigin::soBeginning ? fileio::Origin::Begin
             : origin == TSeekOrigin::soCurrent ? fileio::Origin::Current
                                                : fileio::Origin::End;
    return fileio::Seek(FHandle, offset, o);
}

void THandleStream::SetSize(Int64 newSize) {
    Seek(newSize, TSeekOrigin::soBeginning);
    if (!fileio::Truncate(FHandle)) throw EStreamError(u"Stream size could not be set");
}

TFileStream::TFileStream(const String& fileName, Word mode) : THandleStream(fileio::InvalidHandle), FFileName(fileName) {
    int error = 0;
    if (mode == fmCreate) {
        FHandle = fileio::Open(fileName, fileio::Access::ReadWrite, fileio::Disposition::CreateAlways, error);
        if (FHandle == fileio::InvalidHandle)
            throw EFCreateError(u"Cannot create file \"" + fileName + u"\". " + fileio::ErrorText(error));
    } else {
        auto access = (mode & 3) == fmOpenWrite       ? fileio::Access::Write
                      : (mode & 3) == fmOpenReadWrite ? fileio::Access::ReadWrite
                                                      : fileio::Access::Read;
        FHandle = fileio::Open(fileName, access, fileio::Disposition::OpenExisting, error);
        if (FHandle == fileio::InvalidHandle)
            throw EFOpenError(u"Cannot open file \"" + fileName + u"\". " + fileio::ErrorText(error));
    }
}

TFileStream::~TFileStream() { fileio::Close(FHandle); }

Integer TCustomMemoryStream::Read(void* buffer, Integer count) {
    if (count <= 0 || FPosition < 0 || FPosition >= FSize) return 0;
    Int64 n = std::min<Int64>(count, FSize - FPosition);
    std::memcpy(buffer, FData + FPosition, static_cast<std::size_t>(n));
    FPosition += n;
    return static_cast<Integer>(n);
}

Int64 TCustomMemoryStream::Seek(Int64 offset, TSeekOrigin origin) {
    Int64 base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? FPosition : FSize;
    FPosition = base + offset;
    return FPosition;
}

void TCustomMemoryStream::SaveToStream(TStream& stream) {
    Int64 done = 0;
    while (done < FSize) {
        Integer n = static_cast<Integer>(std::min<Int64>(FSize - done, std::numeric_limits<Integer>::max()));
        stream.WriteBuffer(FData + done, n);
        done += n;
    }
}

void TCustomMemoryStream::SaveToFile(const String& fileName) {
    TFileStream f(fileName, fmCreate);
    SaveToStream(f);
}

Integer TMemoryStream::Write(const void* buffer, Integer count) {
    if (count <= 0 || FPosition < 0) return 0;
    Int64 end = FPosition + count;
    if (end > FSize) SetSize(end);
    std::memcpy(FData + FPosition, buffer, static_cast<std::size_t>(count));
    FPosition = end;
    return count;
}

void TMemoryStream::SetSize(Int64 newSize) {
    if (newSize < 0) newSize = 0;
    if (static_cast<std::uint64_t>(newSize) > FBuffer.max_size()) throw EStreamError(u"Out of memory while expanding memory stream");
    try {
        FBuffer.resize(static_cast<std::size_t>(newSize));
    } catch (const std::bad_alloc&) {
        throw EStreamError(u"Out of memory while expanding memory stream");
    }
    SetPointer(FBuffer.data(), newSize);
    if (FPosition > newSize) FPosition = newSize;
}

void TMemoryStream::Clear() {
    FBuffer.clear();
    FBuffer.shrink_to_fit();
    SetPointer(nullptr, 0);
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
    stream.SetPosition(0);
    Int64 count = stream.GetSize();
    SetSize(count);
    Int64 done = 0;
    while (done < count) {
        Integer n = static_cast<Integer>(std::min<Int64>(count - done, 1 << 20));
        stream.ReadBuffer(FData + done, n);
        done += n;
    }
    FPosition = 0;
}

void TMemoryStream::LoadFromFile(const String& fileName) {
    TFileStream f(fileName, fmOpenRead | fmShareDenyNone);
    LoadFromStream(f);
}

// ---------------------------------------------------------------------------

void TPersistent::Assign(TPersistent* Source) {
    if (Source) {
        Source->AssignTo(this);
        return;
    }
    throw EConvertError(u"Cannot assign a nil to a " + ClassName());
}

void TPersistent::AssignTo(TPersistent* Dest) {
    const String source = ClassName();
    const String dest = Dest ? Dest->ClassName() : String(u"nil");
    throw EConvertError(u"Cannot assign a " + source + u" to a " + dest);
}

TComponent::TComponent(TComponent* AOwner) {
    if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
    // Every derived destructor has run: whoever waits for this component
    // hears it is gone before anyone is told.
    FLifetime.End();
    if (!FDestructionStarted) {
        // Deleted without Free: do what BeforeDestruction would have done.
        FDestructionStarted = true;
        Destroying();
        DestroyComponents();
    }
    NotifyAll(this, TOperation::opRemove);
    for (TComponent* c : FFreeNotifies) c->RemoveNotification(this);
    FFreeNotifies.clear();
    if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::BeforeDestruction() {
    FDestructionStarted = true;
    Destroying();
    DestroyComponents();
}

void TComponent::Destroying() {
    if (HasState(csDestroying)) return;
    FComponentState |= csDestroying;
    for (TComponent* c : FComponents) c->Destroying();
}

void TComponent::DestroyComponents() {
    // Reverse order of creation; each removes itself from the list.
    while (!FComponents.empty()) {
        TComponent* c = FComponents.back();
        RemoveComponent(c);
        c->Free();
    }
}

int TComponent::ComponentIndex() const {
    if (!FOwner) return -1;
    for (std::size_t i = 0; i < FOwner->FComponents.size(); ++i)
        if (FOwner->FComponents[i] == this) return static_cast<int>(i);
    return -1;
}

TComponent* TComponent::FindComponent(StringView name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : FComponents)
        if (SameText(c->FName, name)) return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent) {
    if (!AComponent || AComponent->FOwner == this) return;
    if (AComponent->FOwner) AComponent->FOwner->RemoveComponent(AComponent);
    FComponents.push_back(AComponent);
    AComponent->FOwner = this;
    NotifyAll(AComponent, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
    if (!AComponent || AComponent->FOwner != this) return;
    NotifyAll(AComponent, TOperation::opRemove);
    for (auto it = FComponents.begin(); it != FComponents.end(); ++it) {
        if (*it == AComponent) {
            FComponents.erase(it);
            break;
        }
    }
    AComponent->FOwner = nullptr;
}

void TComponent::SetName(const String& value) {
    if (value == FName) return;
    if (FOwner && !value.empty()) {
        TComponent* other = FOwner->FindComponent(value);
        if (other && other != this) throw EComponentError(u"A component named " + value + u" already exists");
    }
    FName = value;
}

void TComponent::SetComponentState(TComponentState s, bool on) {
    if (on)
        FComponentState |= s;
    else
        FComponentState &= ~s;
}

void TComponent::FreeNotification(TComponent* AComponent) {
    if (!AComponent || AComponent == this) return;
    auto add = [](std::vector<TComponent*>& list, TComponent* c) {
        for (TComponent* x : list)
            if (x == c) return;
        list.push_back(c);
    };
    add(FFreeNotifies, AComponent);
    add(AComponent->FFreeNotifies, this);
    FComponentState |= csFreeNotification;
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
    if (!AComponent) return;
    RemoveNotification(AComponent);
    AComponent->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* AComponent) {
    for (auto it = FFreeNotifies.begin(); it != FFreeNotifies.end(); ++it) {
        if (*it == AComponent) {
            FFreeNotifies.erase(it);
            return;
        }
    }
}

void TComponent::NotifyAll(TComponent* AComponent, TOperation Operation) {
    // The owner's components and the free-notification partners hear about
    // insertions and removals; lists may change while they are told.
    if (Operation == TOperation::opRemove && AComponent == this) {
        std::vector<TComponent*> partners = FFreeNotifies;
        for (TComponent* c : partners) c->Notification(this, TOperation::opRemove);
        return;
    }
    Notification(AComponent, Operation);
    std::vector<TComponent*> siblings = FComponents;
    for (TComponent* c : siblings)
        if (c != AComponent) c->Notification(AComponent, Operation);
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::Loaded() { FComponentState &= ~csLoading; }

void TComponent::LoadedAll() {
    std::vector<TComponent*> owned = FComponents;
    for (TComponent* c : owned) c->LoadedAll();
    Loaded();
}

// ---------------------------------------------------------------------------
// Collections

TCollectionItem::TCollectionItem(TCollection* Collection) : FCollection(Collection) {
    if (FCollection) FCollection->FItems.push_back(this);
}

TCollectionItem::~TCollectionItem() {
    if (!FCollection) return;
    auto& items = FCollection->FItems;
    items.erase(std::remove(items.begin(), items.end(), this), items.end());
}

Integer TCollectionItem::Index() const {
    if (!FCollection) return -1;
    const auto& items = FCollection->FItems;
    const auto it = std::find(items.begin(), items.end(), this);
    return it == items.end() ? -1 : static_cast<Integer>(it - items.begin());
}

TCollection::~TCollection() {
    while (!FItems.empty()) {
        TCollectionItem* item = FItems.back();
        FItems.pop_back();
        item->FCollection = nullptr;
        item->Free();
    }
}

TCollectionItem* TCollection::Items(Integer Index) const {
    if (Index < 0 || Index >= Count()) throw EListError(u"List index out of bounds (" + IntToStr(Index) + u")");
    return FItems[static_cast<std::size_t>(Index)];
}

TCollectionItem* TCollection::Add() {
    TCollectionItem* item = FItemFactory(this);
    if (item->FCollection != this) {   // a factory that made the item outside the collection
        item->FCollection = this;
        FItems.push_back(item);
    }
    Changed();
    return item;
}

void TCollection::Delete(Integer Index) {
    Items(Index)->Free();
    Changed();
}

void TCollection::Clear() {
    if (FItems.empty()) return;
    BeginUpdate();
    while (!FItems.empty()) FItems.back()->Free();
    EndUpdate();
}

void TCollection::Assign(TPersistent* Source) {
    if (Source == nullptr) {
        Clear();
        return;
    }
    auto* other = dynamic_cast<TCollection*>(Source);
    if (!other) {
        TPersistent::Assign(Source);
        return;
    }
    if (other == this) return;
    BeginUpdate();
    try {
        Clear();
        for (TCollectionItem* item : other->FItems) Add()->Assign(item);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TCollection::EndUpdate() {
    if (FUpdateCount > 0) --FUpdateCount;
    if (FUpdateCount == 0) Changed();
}

void TCollection::Changed() {
    if (FUpdateCount == 0) Update(nullptr);
}
