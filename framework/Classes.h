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

// ---------------------------------------------------------------------------
// Persistent objects and components.

#include "Delegates.h"

class TPersistent : public TObject {
public:
    KES_CLASS_NAME(TPersistent)
    // Copies the state of Source; the default raises EConvertError
    // "Cannot assign a <Source class> to a <class>".
    virtual void Assign(TPersistent* Source);

protected:
    virtual void AssignTo(TPersistent* Dest);
};

class TComponent;

enum class TOperation { opInsert, opRemove };

// Component state bits.
using TComponentState = Cardinal;
constexpr TComponentState csLoading = 1u << 0;
constexpr TComponentState csReading = 1u << 1;
constexpr TComponentState csWriting = 1u << 2;
constexpr TComponentState csDestroying = 1u << 3;
constexpr TComponentState csDesigning = 1u << 4;
constexpr TComponentState csFreeNotification = 1u << 5;

KES_DECLARE_EXCEPTION(EComponentError, Exception)
KES_DECLARE_EXCEPTION(EListError, Exception)

// Owner of other components; frees them when it is freed. Components are
// made with New<T>(owner, ...), which calls AfterConstruction once the object
// is complete, and ended with Free(), which runs BeforeDestruction (marking
// the component and everything it owns as destroying, freeing the owned
// components in reverse order) before deleting.
class TComponent : public TPersistent {
public:
    KES_CLASS_NAME(TComponent)
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;

    void BeforeDestruction() override;

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int index) const { return FComponents.at(static_cast<std::size_t>(index)); }
    int ComponentIndex() const;
    TComponent* FindComponent(StringView name) const;
    void InsertComponent(TComponent* AComponent);
    void RemoveComponent(TComponent* AComponent);

    const String& Name() const { return FName; }
    virtual void SetName(const String& value);
    std::intptr_t Tag = 0;

    TComponentState ComponentState() const { return FComponentState; }
    bool HasState(TComponentState s) const { return (FComponentState & s) != 0; }
    void SetComponentState(TComponentState s, bool on);

    // Asks to be told (Notification with opRemove) when AComponent is freed,
    // even when it is not owned by this component's owner.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    // Runs Loaded on this component and everything it owns and clears csLoading.
    void LoadedAll();

    // The component's liveness token: answers false once the component has
    // been destroyed (cleared in ~TComponent, after every derived destructor).
    TLiveness Liveness() const { return FLifetime.Token(); }

protected:
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    // Called once the definition of a component has been read (csLoading is
    // still set while it runs).
    virtual void Loaded();
    // Marks this component and the components it owns as destroying.
    void Destroying();
    void DestroyComponents();

private:
    void RemoveNotification(TComponent* AComponent);
    void NotifyAll(TComponent* AComponent, TOperation Operation);

    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    String FName;
    TComponentState FComponentState = 0;
    bool FDestructionStarted = false;
    TLifetime FLifetime;
};

// Creates an object and completes its construction.
template <class T, class... Args>
T* New(Args&&... args) {
    T* object = new T(std::forward<Args>(args)...);
    try {
        object->AfterConstruction();
    } catch (...) {
        object->Free();
        throw;
    }
    return object;
}

template <class T>
void FreeAndNil(T*& object) {
    T* o = object;
    object = nullptr;
    if (o) o->Free();
}

// ---------------------------------------------------------------------------
// Collections: an owned, ordered list of items of one class.

class TCollection;

class TCollectionItem : public TPersistent {
public:
    KES_CLASS_NAME(TCollectionItem)
    // The item joins Collection (when given) at its end.
    explicit TCollectionItem(TCollection* Collection);
    // Leaves its collection.
    ~TCollectionItem() override;

    TCollection* Collection() const { return FCollection; }
    // The position in the collection, -1 outside one.
    Integer Index() const;

private:
    friend class TCollection;
    TCollection* FCollection = nullptr;
};

class TCollection : public TPersistent {
public:
    KES_CLASS_NAME(TCollection)
    // Items are made by ItemFactory (New<Item>(Collection)).
    using TItemFactory = TCollectionItem* (*)(TCollection* Collection);
    explicit TCollection(TItemFactory ItemFactory) : FItemFactory(ItemFactory) {}
    ~TCollection() override;

    Integer Count() const { return static_cast<Integer>(FItems.size()); }
    // Raises EListError for an index outside the collection.
    TCollectionItem* Items(Integer Index) const;
    TCollectionItem* Add();
    void Delete(Integer Index);
    void Clear();
    // Another collection: the items are made anew and each assigned from the
    // source's item at its position; nullptr clears.
    void Assign(TPersistent* Source) override;

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    // The object the collection belongs to (nullptr when none).
    virtual TPersistent* GetOwner() const { return nullptr; }

protected:
    // Told when items are added, deleted or changed (nullptr: more than one).
    virtual void Update(TCollectionItem*) {}
    void Changed();

private:
    friend class TCollectionItem;
    TItemFactory FItemFactory;
    std::vector<TCollectionItem*> FItems;
    Integer FUpdateCount = 0;
};
