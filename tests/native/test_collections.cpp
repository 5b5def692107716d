// Collections: items join and leave their collection, are copied item by
// item, and the collection hears of changes once per update bracket.
#include <gtest/gtest.h>

#include "Classes.h"

namespace {

class TNumberItem : public TCollectionItem {
public:
    using TCollectionItem::TCollectionItem;
    void Assign(TPersistent* Source) override {
        if (auto* n = dynamic_cast<TNumberItem*>(Source)) {
            Value = n->Value;
            return;
        }
        TCollectionItem::Assign(Source);
    }
    int Value = 0;
};

class TNumbers : public TCollection {
public:
    TNumbers() : TCollection([](TCollection* c) -> TCollectionItem* { return New<TNumberItem>(c); }) {}
    TNumberItem* At(Integer i) const { return static_cast<TNumberItem*>(Items(i)); }
    TNumberItem* AddNumber(int v) {
        auto* n = static_cast<TNumberItem*>(Add());
        n->Value = v;
        return n;
    }
    int Updates = 0;

protected:
    void Update(TCollectionItem*) override { ++Updates; }
};

}  // namespace

TEST(Collections, ItemsJoinLeaveAndCopy) {
    TNumbers a;
    for (int v : {10, 20, 30}) a.AddNumber(v);
    EXPECT_EQ(a.Count(), 3);
    EXPECT_EQ(a.Updates, 3);
    EXPECT_EQ(a.At(2)->Index(), 2);
    EXPECT_EQ(a.At(1)->Collection(), &a);
    a.Delete(0);
    EXPECT_EQ(a.At(0)->Value, 20);
    EXPECT_EQ(a.At(0)->Index(), 0);
    a.At(1)->Free();   // an item freed on its own leaves too
    EXPECT_EQ(a.Count(), 1);
    EXPECT_THROW(a.Items(1), EListError);
    EXPECT_THROW(a.Items(-1), EListError);

    TNumbers b;
    b.AddNumber(1);
    b.Updates = 0;
    b.Assign(&a);   // one bracket: one notice
    ASSERT_EQ(b.Count(), 1);
    EXPECT_EQ(b.At(0)->Value, 20);
    EXPECT_NE(b.At(0), a.At(0));
    EXPECT_EQ(b.Updates, 1);
    b.Assign(nullptr);
    EXPECT_EQ(b.Count(), 0);
    TPersistent notACollection;
    EXPECT_THROW(b.Assign(&notACollection), EConvertError);
    EXPECT_EQ(TCollectionItem(nullptr).Index(), -1);
}
