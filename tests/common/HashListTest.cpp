#include "common/HashList.h"
#include "support/Raised.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

namespace {

// An object that reports its own destruction, to see what an owning list deletes.
struct Tracked {
    Tracked(std::string name, std::vector<std::string>* destroyed)
        : Name(std::move(name)), Destroyed(destroyed) {}
    ~Tracked() {
        if (Destroyed)
            Destroyed->push_back(Name);
    }
    std::string Name;
    std::vector<std::string>* Destroyed;
};

using Names = std::vector<std::string>;

// The objects of every position, walked 0, 1, 2, ...
Names Walk(const TStringHashList<Tracked>& list) {
    Names names;
    for (int i = 0; i < list.Count(); ++i)
        names.push_back(list.Objects(i)->Name);
    return names;
}

} // namespace

TEST(HashList, TextHashIsTheComplementOfCrc32) {
    EXPECT_EQ(TextHash(""), 0xFFFFFFFFu);
    EXPECT_EQ(TextHash("abc"), 0xCADBBE3Du);
    EXPECT_EQ(TextHash("ABC"), 0x5C7CFCB7u);
    EXPECT_EQ(TextHash("plains"), 0xEF33CFB7u);
}

TEST(HashList, BucketCountIsAPowerOfTwoBetween4And8192) {
    const std::vector<std::pair<int, int>> cases = {
        {-5, 4},      {0, 4},       {4, 4},       {5, 8},       {1024, 1024},
        {1025, 2048}, {4096, 4096}, {4097, 8192}, {5000, 8192}, {100000, 8192}};
    for (auto [capacity, buckets] : cases)
        EXPECT_EQ(TStringHashList<Tracked>(true, capacity, false).BucketCount(), buckets)
            << "capacity " << capacity;
}

TEST(HashList, KeysLieInTheBucketOfTheirHashLowBits) {
    TStringHashList<Tracked> sensitive(true, 1024, false);
    TStringHashList<Tracked> ignoring(false, 1024, false);
    const std::vector<std::tuple<std::string, int, int>> cases = {
        // key, bucket case-sensitive, bucket ignoring case (hash of the upper-cased text)
        {"abc", 573, 183},
        {"ABC", 183, 183},
        {"", 1023, 1023},
        {"\xE6ther", static_cast<int>(TextHash("\xE6ther") & 1023),
         static_cast<int>(TextHash("\xC6THER") & 1023)}};
    for (const auto& [key, sensitiveBucket, ignoringBucket] : cases) {
        int bucket = -1, position = -1;
        sensitive.Find(reinterpret_cast<std::uintptr_t>(key.c_str()), bucket, position);
        EXPECT_EQ(bucket, sensitiveBucket) << key;
        ignoring.Find(reinterpret_cast<std::uintptr_t>(key.c_str()), bucket, position);
        EXPECT_EQ(bucket, ignoringBucket) << key;
    }
}

TEST(HashList, IgnoringCaseRefusesAnotherCaseOfAKeyAndFindsIt) {
    TStringHashList<Tracked> list(false, 1024, true);
    list.Add("ABC", new Tracked("ABC", nullptr));
    const std::string duplicate = "abc";
    char expected[64];
    std::snprintf(
        expected, sizeof expected, "List does not allow duplicates ($0%llX)",
        static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(duplicate.c_str())));
    Tracked* refused = new Tracked("abc", nullptr);
    EXPECT_EQ(MessageOf([&] { list.Add(duplicate, refused); }), expected);
    delete refused;
    EXPECT_EQ(list.Count(), 1);

    Tracked* found = nullptr;
    ASSERT_TRUE(list.TryGetObject("Abc", found));
    EXPECT_EQ(found->Name, "ABC");
    EXPECT_FALSE(list.TryGetObject("\xE6ther", found));
    EXPECT_EQ(found, nullptr);
}

TEST(HashList, CaseSensitiveListKeepsBothCases) {
    TStringHashList<Tracked> list(true, 1024, false);
    Tracked lower("abc", nullptr), upper("ABC", nullptr);
    list.Add("abc", &lower);
    list.Add("ABC", &upper);
    Tracked* found = nullptr;
    EXPECT_TRUE(list.TryGetObject("ABC", found));
    EXPECT_EQ(found, &upper);
    EXPECT_FALSE(list.TryGetObject("Abc", found));
    EXPECT_EQ(list.Count(), 2);
}

TEST(HashList, KeysAreCopiedSoTheCallersTextMayChange) {
    TStringHashList<Tracked> list(true, 16, false);
    Tracked item("x", nullptr);
    std::string key = "island";
    list.Add(key, &item);
    key = "swamp!";
    Tracked* found = nullptr;
    EXPECT_TRUE(list.TryGetObject("island", found));
    EXPECT_FALSE(list.TryGetObject("swamp!", found));
}

TEST(HashList, PositionsFollowBucketsThenOrderOfAddition) {
    // With 4 buckets: a,c,h in bucket 0; e,g in 1; b in 2; d,f in 3; "" in 3.
    TStringHashList<Tracked> list(true, 4, false);
    std::map<std::string, Tracked> items;
    auto add = [&](const std::string& key) {
        list.Add(key, &items.try_emplace(key, key, nullptr).first->second);
    };
    for (const char* key : {"a", "b", "c", "d", "e", "f", "g", "h"})
        add(key);
    EXPECT_EQ(Walk(list), (Names{"a", "c", "h", "e", "g", "b", "d", "f"}));

    EXPECT_EQ(list.Remove("c")->Name, "c");
    EXPECT_EQ(Walk(list), (Names{"a", "h", "e", "g", "b", "d", "f"}));
    add("c");
    add("");
    EXPECT_EQ(Walk(list), (Names{"a", "h", "c", "e", "g", "b", "d", "f", ""}));
    EXPECT_EQ(list.Remove("missing"), nullptr);
    EXPECT_EQ(list.Count(), 9);
}

TEST(HashList, ObjectsOutsideTheRangeRaiseItemNotFound) {
    TStringHashList<Tracked> list(true, 4, true);
    for (char c = 'a'; c <= 'z'; ++c)
        list.Add(std::string(1, c), new Tracked(std::string(1, c), nullptr));
    const std::vector<std::pair<int, std::string>> cases = {{26, "Item not found ($01A)"},
                                                            {-1, "Item not found ($0FFFFFFFF)"},
                                                            {1000, "Item not found ($03E8)"}};
    for (const auto& [index, message] : cases) {
        try {
            list.Objects(index);
            ADD_FAILURE() << "no error for " << index;
        } catch (const EListError& e) {
            EXPECT_EQ(e.Message(), message);
        }
    }
    TStringHashList<Tracked> empty(true, 4, true);
    EXPECT_THROW(empty.Objects(0), EListError);
}

TEST(HashList, OwningListDeletesItsObjectsButRemoveHandsThemBack) {
    Names destroyed;
    Tracked* kept = nullptr;
    {
        TStringHashList<Tracked> list(false, 4, true);
        for (const char* key : {"a", "b", "c", "d"})
            list.Add(key, new Tracked(key, &destroyed));
        list.Add("none", nullptr); // a null object is skipped when clearing
        kept = list.Remove("B");
        ASSERT_NE(kept, nullptr);
        EXPECT_TRUE(destroyed.empty());
    }
    EXPECT_THAT(destroyed, testing::UnorderedElementsAre("a", "c", "d"));
    delete kept;
    EXPECT_EQ(destroyed.back(), "b");

    destroyed.clear();
    Tracked borrowed("x", &destroyed);
    {
        TStringHashList<Tracked> list(false, 4, false);
        list.Add("x", &borrowed);
    }
    EXPECT_TRUE(destroyed.empty());
}

TEST(HashList, ClearDeletesFromTheLastBucketBackwardsAndEmptiesTheList) {
    Names destroyed;
    TStringHashList<Tracked> list(true, 4, true);
    for (const char* key : {"a", "b", "c", "d", "e", "f", "g", "h"})
        list.Add(key, new Tracked(key, &destroyed));
    list.Clear();
    EXPECT_EQ(destroyed, (Names{"f", "d", "b", "g", "e", "h", "c", "a"}));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_THROW(list.Objects(0), EListError);
    list.Add("a", new Tracked("a", &destroyed)); // usable again
    EXPECT_EQ(list.Objects(0)->Name, "a");
}

TEST(HashList, AnyAccessOrderAgreesWithTheBucketOrderAfterGrowthAndRemovals) {
    // Few buckets and many keys, so bucket arrays grow through all three step sizes.
    TStringHashList<Tracked> list(true, 4, true);
    std::mt19937 random(7);
    std::map<std::string, int> addedAt; // key -> order of addition
    int serial = 0;
    for (int round = 0; round < 2000; ++round) {
        const std::string key = "card" + std::to_string(random() % 700);
        if (addedAt.count(key) && random() % 3 == 0) {
            delete list.Remove(key);
            addedAt.erase(key);
        } else if (!addedAt.count(key)) {
            list.Add(key, new Tracked(key, nullptr));
            addedAt[key] = serial++;
        }
    }
    // The rule stated independently: by bucket (low two bits of the hash), then by addition.
    std::vector<std::pair<std::pair<unsigned, int>, std::string>> model;
    for (const auto& [key, order] : addedAt)
        model.push_back({{TextHash(key) & 3, order}, key});
    std::sort(model.begin(), model.end());
    Names expected;
    for (const auto& entry : model)
        expected.push_back(entry.second);

    ASSERT_EQ(list.Count(), static_cast<int>(expected.size()));
    EXPECT_EQ(Walk(list), expected);
    for (int i = list.Count() - 1; i >= 0; --i)
        ASSERT_EQ(list.Objects(i)->Name, expected[i]) << "backwards at " << i;
    std::uniform_int_distribution<int> anywhere(0, list.Count() - 1);
    for (int step = 0; step < 3000; ++step) {
        const int i = anywhere(random);
        ASSERT_EQ(list.Objects(i)->Name, expected[i]) << "jump to " << i;
    }
}

TEST(HashList, PositionCacheIsForgottenWhenAnEarlierBucketChanges) {
    TStringHashList<Tracked> list(true, 4, false);
    std::map<std::string, Tracked> items;
    auto add = [&](const std::string& key) {
        list.Add(key, &items.try_emplace(key, key, nullptr).first->second);
    };
    for (const char* key : {"a", "b", "c", "d", "e", "f", "g", "h"})
        add(key);                          // a c h | e g | b | d f
    EXPECT_EQ(list.Objects(5)->Name, "b"); // remembers bucket 2
    add("1");                              // into bucket 0: a c h 1 | e g | b | d f
    EXPECT_EQ(list.Objects(6)->Name, "b");
    list.Remove("e"); // a c h 1 | g | b | d f
    EXPECT_EQ(list.Objects(5)->Name, "b");
    list.Remove("b"); // the remembered bucket empties: a c h 1 | g | | d f
    EXPECT_EQ(list.Objects(5)->Name, "d");
    add("4"); // after the remembered bucket: a c h 1 | g | | d f 4
    EXPECT_EQ(list.Objects(4)->Name, "g");
    EXPECT_EQ(list.Objects(7)->Name, "4");
}

TEST(HashList, IntegerKeysCompareByIdentity) {
    TCustomHashList<Tracked> list(8, false);
    Tracked one("one", nullptr), nine("nine", nullptr);
    list.AddKey(1, 0, &one);
    list.AddKey(9, 0, &nine); // same bucket as 1 with 8 buckets
    EXPECT_EQ(list.Objects(0), &one);
    EXPECT_EQ(list.Objects(1), &nine);
    EXPECT_EQ(MessageOf([&] { list.AddKey(9, 0, &one); }), "List does not allow duplicates ($09)");
    Tracked* found = nullptr;
    EXPECT_TRUE(list.TryGetObject(9, found));
    EXPECT_EQ(found, &nine);
    EXPECT_EQ(list.Remove(1), &one);
    EXPECT_EQ(list.Objects(0), &nine);
}
