// The consistency checks across every file of a pass: one source with two
// or more targets, one target for two or more sources. Only hashes and
// references are kept, 24 bytes a segment: the texts are read again for
// the groups found.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "qa/CheckKinds.h"

class ConsistencyIndex {
public:
    explicit ConsistencyIndex(const CheckSettings& settings) : settings(settings) {}

    // Segment `segment` of file `file` (numbers of the caller's own).
    void Add(uint32_t file, uint32_t segment, std::wstring_view source, std::wstring_view target);
    // The same from hashes made by Hash (on any thread).
    void AddHashed(uint32_t file, uint32_t segment, uint64_t source, uint64_t target);
    // A side as compared (spaces collapsed, case folded as set); 0 for a
    // side of nothing but spaces.
    uint64_t Hash(std::wstring_view text) const;
    bool On() const {
        return settings.On(CheckKind::kInconsistentTarget) || settings.On(CheckKind::kInconsistentSource);
    }

    struct Member {
        uint32_t file;
        uint32_t segment;
    };
    struct Group {
        CheckKind kind;     // kInconsistentTarget or kInconsistentSource
        int variants;       // different targets (or sources) in the group
        std::vector<Member> members;  // in file and segment order
    };
    // The groups of the checks that are on, ordered by their first member.
    std::vector<Group> Groups() const;

    size_t Segments() const { return entries.size(); }
    size_t BytesPerSegment() const { return sizeof(Entry); }

private:
    struct Entry {
        uint64_t source;
        uint64_t target;
        uint32_t file;
        uint32_t segment;
    };
    void Collect(CheckKind kind, bool bySource, std::vector<Group>* groups) const;

    const CheckSettings& settings;
    std::vector<Entry> entries;
};
