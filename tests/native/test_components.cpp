// Method pointers and component ownership.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Classes.h"

namespace {

struct Listener : TObject {
    int Calls = 0;
    TObject* LastSender = nullptr;
    void Notify(TObject* Sender) {
        ++Calls;
        LastSender = Sender;
    }
    void Other(TObject*) {}
};

std::vector<std::string>* gLog = nullptr;

class Probe : public TComponent {
public:
    KES_CLASS_NAME(Probe)
    Probe(TComponent* owner, std::string tag) : TComponent(owner), FTag(std::move(tag)) {}
    ~Probe() override {
        if (gLog) gLog->push_back("delete " + FTag);
    }
    void BeforeDestruction() override {
        if (gLog) gLog->push_back("before " + FTag + (HasState(csDestroying) ? " (destroying)" : ""));
        TComponent::BeforeDestruction();
    }
    TComponent* Watched = nullptr;
    int Removals = 0;

protected:
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op == TOperation::opRemove && c == Watched) {
            Watched = nullptr;
            ++Removals;
        }
    }
    void Loaded() override {
        if (gLog) gLog->push_back("loaded " + FTag + (HasState(csLoading) ? " (loading)" : ""));
        TComponent::Loaded();
    }

private:
    std::string FTag;
};

}  // namespace

namespace {
// test_DelegatesOtherUnit.cpp has a class of this name in its unnamed
// namespace too, with a member that adds 100.
struct TTally {
    int Total = 0;
    [[gnu::noinline]] void Add(TObject*) { Total += 1; }
};
struct TTallyMore : TTally {};
}  // namespace
TNotifyEvent OtherUnitTally(int*& Total);

TEST(Delegates, SameNamedClassesOfTwoFilesCallTheirOwnMembers) {
    TTally mine;
    const auto add = TNotifyEvent::Of<&TTally::Add>(&mine);
    int* theirTotal = nullptr;
    const TNotifyEvent theirAdd = OtherUnitTally(theirTotal);
    add(nullptr);
    theirAdd(nullptr);
    EXPECT_EQ(mine.Total, 1);
    EXPECT_EQ(*theirTotal, 100);
    EXPECT_FALSE(add == theirAdd);
    // One member gives one delegate, whether the object is passed as its
    // own class or as a derived one.
    TTallyMore more;
    TTally* base = &more;
    EXPECT_TRUE(TNotifyEvent::Of<&TTally::Add>(&more) == TNotifyEvent::Of<&TTally::Add>(base));
}

TEST(Delegates, CompareByObjectAndMember) {
    Listener a, b;
    const auto fa = TNotifyEvent::Of<&Listener::Notify>(&a);
    EXPECT_TRUE(fa == TNotifyEvent::Of<&Listener::Notify>(&a));
    EXPECT_FALSE(fa == TNotifyEvent::Of<&Listener::Notify>(&b));
    EXPECT_FALSE(fa == TNotifyEvent::Of<&Listener::Other>(&a));
    EXPECT_TRUE(TNotifyEvent() == nullptr);
    EXPECT_FALSE(fa == nullptr);
    fa(&b);
    EXPECT_EQ(a.Calls, 1);
    EXPECT_EQ(a.LastSender, &b);
}

TEST(Components, OwnerFreesOwnedInReverseOrderAfterMarkingThem) {
    std::vector<std::string> log;
    gLog = &log;
    auto* owner = new Probe(nullptr, "owner");
    new Probe(owner, "first");
    new Probe(owner, "second");
    EXPECT_EQ(owner->ComponentCount(), 2);
    owner->Free();
    gLog = nullptr;
    const std::vector<std::string> expected = {"before owner",  "before second (destroying)", "delete second",
                                               "before first (destroying)", "delete first", "delete owner"};
    EXPECT_EQ(log, expected);
}

TEST(Components, NotificationsClearReferences) {
    auto* owner = new Probe(nullptr, "owner");
    auto* watcher = new Probe(owner, "watcher");
    auto* target = new Probe(owner, "target");
    watcher->Watched = target;
    target->Free();
    EXPECT_EQ(watcher->Watched, nullptr);
    EXPECT_EQ(owner->ComponentCount(), 1);

    // A partner outside the owner's family hears about it through FreeNotification.
    auto* outsider = new Probe(nullptr, "outsider");
    auto* other = new Probe(nullptr, "other");
    outsider->Watched = other;
    outsider->FreeNotification(other);
    other->Free();
    EXPECT_EQ(outsider->Watched, nullptr);
    EXPECT_EQ(outsider->Removals, 1);
    outsider->Free();
    owner->Free();
}

TEST(Components, NamesAreUniqueAmongSiblingsAndLoadedRunsOnAll) {
    auto* owner = new Probe(nullptr, "owner");
    auto* a = new Probe(owner, "a");
    auto* b = new Probe(owner, "b");
    a->SetName(u"Edit1");
    EXPECT_THROW(b->SetName(u"edit1"), EComponentError);
    EXPECT_EQ(owner->FindComponent(u"EDIT1"), a);

    std::vector<std::string> log;
    gLog = &log;
    owner->SetComponentState(csLoading, true);
    a->SetComponentState(csLoading, true);
    owner->LoadedAll();
    gLog = nullptr;
    EXPECT_EQ(log, (std::vector<std::string>{"loaded a (loading)", "loaded b", "loaded owner (loading)"}));
    EXPECT_FALSE(owner->HasState(csLoading));
    EXPECT_FALSE(a->HasState(csLoading));
    owner->Free();
}

TEST(Components, AssignWithoutSupportRaises) {
    Probe a(nullptr, "a");
    Probe b(nullptr, "b");
    try {
        a.Assign(&b);
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"Cannot assign a Probe to a Probe");
    }
}

namespace {

// Asks its own token from inside its destructor and records the answer.
class LivenessProbe : public TComponent {
public:
    KES_CLASS_NAME(LivenessProbe)
    using TComponent::TComponent;
    ~LivenessProbe() override {
        if (gLog) gLog->push_back(Liveness().Alive() ? "alive in its destructor" : "gone in its destructor");
    }
};

struct NotAComponent : TLivingObject {};

}  // namespace

TEST(Components, LivenessTokensOutliveTheirObjectAndAnswerFalseOnceItIsDestroyed) {
    std::vector<std::string> log;
    gLog = &log;
    auto* owner = New<TComponent>(nullptr);
    auto* owned = New<LivenessProbe>(owner);
    const TLiveness before = owned->Liveness();
    const TLiveness copy = before;
    EXPECT_TRUE(before.Alive());
    EXPECT_TRUE(copy.Alive());
    EXPECT_FALSE(TLiveness().Alive()) << "an empty token";
    // Freed with its owner: every token taken before answers false, and the
    // derived destructor still saw the component alive.
    owner->Free();
    EXPECT_FALSE(before.Alive());
    EXPECT_FALSE(copy.Alive());
    EXPECT_EQ(log, std::vector<std::string>{"alive in its destructor"});

    // A component deleted without Free ends the same way.
    auto* plain = new TComponent(nullptr);
    const TLiveness p = plain->Liveness();
    delete plain;
    EXPECT_FALSE(p.Alive());

    // Objects that are not components take theirs from TLivingObject.
    auto* other = new NotAComponent();
    const TLiveness o = other->Liveness();
    EXPECT_TRUE(o.Alive());
    other->Free();
    EXPECT_FALSE(o.Alive());
    gLog = nullptr;
}
