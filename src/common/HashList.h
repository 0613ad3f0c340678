#pragma once
#include "common/Exception.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A chained hash table from key words to objects that can also be walked by position,
// 0 to Count() - 1. The position order follows the buckets (the low bits of each key's
// hash) and, within a bucket, the order of addition. The card list and "Close All" walk
// lists by position, so that order is visible to the user and must stay as it is.
//
// The list is a template over the object type so that lookups hand back typed pointers.
// An owning list deletes its objects when it is cleared or destroyed; Remove and Delete
// always hand the object back undeleted.

class EListError : public Exception {
public:
    using Exception::Exception;
};

// The complement of the usual CRC-32 of the bytes (no final inversion): "" gives
// 0xFFFFFFFF, "abc" gives 0xCADBBE3D.
std::uint32_t TextHash(std::string_view text);

namespace HashListDetail {
// The smallest power of two not below `capacity`, at least 4 and at most 8192.
int BucketCountFor(int capacity);
// How many entries a full bucket array of `length` entries grows by.
int GrowthStep(int length);
// "$0" followed by the number in upper-case hexadecimal, as the messages show numbers.
std::string HexNumber(std::uint64_t value);
[[noreturn]] void RaiseDuplicate(std::uintptr_t key);
[[noreturn]] void RaiseItemNotFound(int index);
// Text keys: equality and hash, upper-casing through the Windows-1252 table when ignoring case.
bool TextKeysEqual(std::string_view a, std::string_view b, bool ignoreCase);
std::uint32_t TextKeyHash(std::string_view text, bool ignoreCase);
} // namespace HashListDetail

template <class T> class TCustomHashList {
public:
    // An integer or a reference, compared by identity in this class.
    using TKey = std::uintptr_t;

    TCustomHashList(int capacity, bool ownsObjects)
        : FBucketCount(HashListDetail::BucketCountFor(capacity)), FOwnsObjects(ownsObjects),
          FMask(static_cast<std::uint32_t>(FBucketCount - 1)) {
        FBuckets.resize(FBucketCount);
    }
    virtual ~TCustomHashList() { Clear(); }
    TCustomHashList(const TCustomHashList&) = delete;
    TCustomHashList& operator=(const TCustomHashList&) = delete;

    int Count() const { return FCount; }
    int BucketCount() const { return FBucketCount; }

    // On success `position` is the entry's place in `bucket`; on failure `bucket` is still
    // the bucket the key belongs to.
    bool Find(TKey key, int& bucket, int& position) const {
        return FindHashed(key, HashOf(key), bucket, position);
    }

    // With key copying on, the list keeps its own copy of the first `keySize` bytes at `key`.
    T* AddKey(TKey key, int keySize, T* obj) {
        int bucket, position;
        const std::uint32_t hash = HashOf(key);
        if (FindHashed(key, hash, bucket, position))
            HashListDetail::RaiseDuplicate(key);
        TBucket& b = FBuckets[bucket];
        if (static_cast<int>(b.Entries.size()) == b.Count)
            b.Entries.resize(b.Entries.size() + HashListDetail::GrowthStep(b.Count));
        TEntry& entry = b.Entries[b.Count];
        entry.Key = key;
        entry.Hash = hash;
        if (FCopyKeys) {
            entry.KeyCopy.reset();
            if (key != 0 && keySize >= 1) {
                entry.KeyCopy = std::make_unique<char[]>(keySize);
                std::memcpy(entry.KeyCopy.get(), reinterpret_cast<const char*>(key), keySize);
            }
            entry.Key = reinterpret_cast<TKey>(entry.KeyCopy.get());
        }
        entry.Obj = obj;
        ++b.Count;
        ++FCount;
        if (bucket < FCacheBucket)
            ForgetCache();
        return obj;
    }

    bool TryGetObject(TKey key, T*& obj) const {
        int bucket, position;
        const bool found = Find(key, bucket, position);
        obj = found ? FBuckets[bucket].Entries[position].Obj : nullptr;
        return found;
    }

    T* Remove(TKey key) {
        int bucket, position;
        return Find(key, bucket, position) ? Delete(bucket, position) : nullptr;
    }

    // Removes the entry; later entries of the bucket move down. The object is not deleted.
    T* Delete(int bucket, int position) {
        TBucket& b = FBuckets[bucket];
        T* obj = b.Entries[position].Obj;
        if (b.Count == 1) {
            std::vector<TEntry>().swap(b.Entries);
        } else {
            std::move(b.Entries.begin() + position + 1, b.Entries.begin() + b.Count,
                      b.Entries.begin() + position);
            b.Entries[b.Count - 1] = TEntry();
        }
        --b.Count;
        --FCount;
        if (bucket < FCacheBucket || (bucket == FCacheBucket && b.Count == 0))
            ForgetCache();
        return obj;
    }

    // Removes every entry, from the last bucket to the first and from each bucket's last
    // entry to its first, deleting the objects of an owning list in that order. Each entry
    // leaves the list before its object is deleted, so the list stays whole throughout.
    void Clear() {
        for (int bucket = FBucketCount - 1; bucket >= 0; --bucket)
            for (int position = FBuckets[bucket].Count - 1; position >= 0; --position) {
                T* obj = Delete(bucket, position);
                if (FOwnsObjects)
                    delete obj;
            }
        ForgetCache();
    }

    T* Objects(int index) const {
        int bucket, position;
        if (!Locate(index, bucket, position))
            HashListDetail::RaiseItemNotFound(index);
        return FBuckets[bucket].Entries[position].Obj;
    }

protected:
    virtual bool KeysEqual(TKey storedKey, TKey key) const { return storedKey == key; }
    virtual std::uint32_t HashOf(TKey key) const { return static_cast<std::uint32_t>(key); }

    bool FCopyKeys = false;

private:
    struct TEntry {
        TKey Key = 0;
        std::unique_ptr<char[]> KeyCopy; // the list's own copy of the key, when it copies keys
        T* Obj = nullptr;
        // The key's full hash: most entries of a crowded bucket are passed over on it,
        // without reading their key texts.
        std::uint32_t Hash = 0;
    };
    struct TBucket {
        int Count = 0;
        std::vector<TEntry> Entries; // its length is the bucket's capacity
    };

    bool FindHashed(TKey key, std::uint32_t hash, int& bucket, int& position) const {
        bucket = static_cast<int>(hash & FMask);
        const TBucket& b = FBuckets[bucket];
        for (position = 0; position < b.Count; ++position)
            if (b.Entries[position].Hash == hash && KeysEqual(b.Entries[position].Key, key))
                return true;
        return false;
    }

    void ForgetCache() const {
        FCacheBucket = 0;
        FCacheBase = 0;
    }

    // Finds the bucket and position of the entry at `index`, starting from the remembered
    // bucket or from the nearer end, and remembers the bucket where it ends.
    bool Locate(int index, int& bucket, int& position) const {
        if (index < 0 || index > FCount - 1)
            return false;
        const int half = FCount / 2;
        int base;
        if (index == 0 || FCacheBase - index > half) {
            bucket = 0;
            base = 0;
        } else if (index == FCount - 1 || index - FCacheBase > half) {
            bucket = FBucketCount - 1;
            base = FCount - FBuckets[bucket].Count;
        } else {
            bucket = FCacheBucket;
            base = FCacheBase;
        }
        int offset = index - base;
        bool found = false;
        if (offset >= 0) {
            for (; bucket < FBucketCount; ++bucket) {
                const int count = FBuckets[bucket].Count;
                if (count > offset) {
                    found = true;
                    break;
                }
                base += count;
                offset -= count;
            }
        } else {
            while (!found && --bucket >= 0) {
                const int count = FBuckets[bucket].Count;
                base -= count;
                offset += count;
                found = count > 0 && offset >= 0;
            }
        }
        if (!found)
            return false;
        position = offset;
        FCacheBucket = bucket;
        FCacheBase = base;
        return true;
    }

    std::vector<TBucket> FBuckets;
    int FBucketCount;
    int FCount = 0;
    mutable int FCacheBucket = 0; // the bucket where the last positional access ended
    mutable int FCacheBase = 0;   // the number of entries in the buckets before it
    bool FOwnsObjects;
    std::uint32_t FMask;
};

// Keys are 8-bit texts (up to their first zero byte), compared with or without regard to
// letter case; the list keeps its own copy of every key.
template <class T> class TStringHashList : public TCustomHashList<T> {
    using TBase = TCustomHashList<T>;

public:
    using typename TBase::TKey;

    TStringHashList(bool caseSensitive, int capacity, bool ownsObjects)
        : TBase(capacity, ownsObjects), FIgnoreCase(!caseSensitive) {
        this->FCopyKeys = true;
    }
    ~TStringHashList() override = default;

    T* Add(const std::string& text, T* obj) {
        return this->AddKey(KeyOf(text), static_cast<int>(text.size()) + 1, obj);
    }
    bool TryGetObject(const std::string& key, T*& obj) const {
        return TBase::TryGetObject(KeyOf(key), obj);
    }
    T* Remove(const std::string& key) { return TBase::Remove(KeyOf(key)); }

protected:
    bool KeysEqual(TKey storedKey, TKey key) const override {
        return HashListDetail::TextKeysEqual(TextOf(storedKey), TextOf(key), FIgnoreCase);
    }
    std::uint32_t HashOf(TKey key) const override {
        return HashListDetail::TextKeyHash(TextOf(key), FIgnoreCase);
    }

private:
    static TKey KeyOf(const std::string& text) { return reinterpret_cast<TKey>(text.c_str()); }
    static std::string_view TextOf(TKey key) {
        return key ? std::string_view(reinterpret_cast<const char*>(key)) : std::string_view();
    }

    bool FIgnoreCase;
};
