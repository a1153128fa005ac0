// Hashing segments as the consistency checks compare them, and finding the
// groups.
#include "qa/Consistency.h"

#include <algorithm>
#include <cwctype>
#include <numeric>

#include "qa/TextParts.h"

uint64_t ConsistencyIndex::Hash(std::wstring_view text) const {
    // FNV-1a over the text as compared: spaces collapsed and trimmed, case
    // folded when it does not count.
    uint64_t hash = 14695981039346656037ull;
    bool pendingSpace = false, any = false;
    auto add = [&hash](wchar_t c) {
        hash ^= static_cast<uint64_t>(c);
        hash *= 1099511628211ull;
    };
    for (wchar_t c : text) {
        if (settings.consistencyCollapseSpaces && IsSpace(c)) {
            pendingSpace = any;
            continue;
        }
        if (pendingSpace)
            add(L' ');
        pendingSpace = false;
        any = true;
        add(settings.consistencyIgnoreCase ? static_cast<wchar_t>(std::towlower(c)) : c);
    }
    return any ? hash : 0;  // 0: nothing but spaces
}

void ConsistencyIndex::Add(uint32_t file, uint32_t segment, std::wstring_view source, std::wstring_view target) {
    if (On())
        AddHashed(file, segment, Hash(source), Hash(target));
}

void ConsistencyIndex::AddHashed(uint32_t file, uint32_t segment, uint64_t source, uint64_t target) {
    if (!On() || source == 0 || target == 0)
        return;  // an empty side is the untranslated check's business
    entries.push_back({source, target, file, segment});
}

void ConsistencyIndex::Collect(CheckKind kind, bool bySource, std::vector<Group>* groups) const {
    std::vector<uint32_t> order(entries.size());
    std::iota(order.begin(), order.end(), 0u);
    auto key = [&](uint32_t i) { return bySource ? entries[i].source : entries[i].target; };
    auto other = [&](uint32_t i) { return bySource ? entries[i].target : entries[i].source; };
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return key(a) < key(b); });
    for (size_t begin = 0; begin < order.size();) {
        size_t end = begin + 1;
        while (end < order.size() && key(order[end]) == key(order[begin]))
            ++end;
        std::vector<uint64_t> variants;
        for (size_t i = begin; i < end; ++i)
            variants.push_back(other(order[i]));
        std::sort(variants.begin(), variants.end());
        variants.erase(std::unique(variants.begin(), variants.end()), variants.end());
        if (variants.size() > 1) {
            Group group{kind, static_cast<int>(variants.size()), {}};
            for (size_t i = begin; i < end; ++i)
                group.members.push_back({entries[order[i]].file, entries[order[i]].segment});
            std::sort(group.members.begin(), group.members.end(), [](const Member& a, const Member& b) {
                return a.file != b.file ? a.file < b.file : a.segment < b.segment;
            });
            groups->push_back(std::move(group));
        }
        begin = end;
    }
}

std::vector<ConsistencyIndex::Group> ConsistencyIndex::Groups() const {
    std::vector<Group> groups;
    if (settings.On(CheckKind::kInconsistentTarget))
        Collect(CheckKind::kInconsistentTarget, true, &groups);
    if (settings.On(CheckKind::kInconsistentSource))
        Collect(CheckKind::kInconsistentSource, false, &groups);
    std::stable_sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) {
        const Member& x = a.members.front();
        const Member& y = b.members.front();
        if (x.file != y.file)
            return x.file < y.file;
        if (x.segment != y.segment)
            return x.segment < y.segment;
        return a.kind < b.kind;
    });
    return groups;
}
