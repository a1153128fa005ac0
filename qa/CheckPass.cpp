// The pass: loading its lists, checking rows, counting and the summary.
#include "qa/CheckPass.h"

#include <windows.h>

#include <algorithm>
#include <map>

#include "base/LongPath.h"
#include "base/ReplaceFile.h"
#include "search/Searcher.h"
#include "qa/SegmentChecks.h"

namespace {

// A list file's bytes; false with *error for a file that cannot be read.
bool ReadListFile(const std::wstring& path, std::string* bytes, std::wstring* error) {
    DWORD code = 0;
    if (ReadSmallFile(path, 64u << 20, bytes, &code))
        return true;
    *error = path + L": cannot be read";
    return false;
}

}  // namespace

CheckPass::CheckPass(const CheckSettings& settings) : settings(settings), consistency(this->settings) {}

bool CheckPass::Load(const std::wstring& glossaryPath, const std::wstring& checklistPath, std::wstring* error) {
    std::string bytes;
    std::wstring why;
    if (!glossaryPath.empty()) {
        if (!ReadListFile(glossaryPath, &bytes, error))
            return false;
        if (!glossary.Read(bytes, &why)) {
            *error = glossaryPath + L": " + why;
            return false;
        }
    }
    if (!checklistPath.empty()) {
        if (!ReadListFile(checklistPath, &bytes, error))
            return false;
        if (!checklist.Read(bytes, &why)) {
            *error = checklistPath + L": " + why;
            return false;
        }
    }
    return true;
}

bool CheckPass::Visit(FileResult& row, const ShownSegment& segment, int index) const {
    SegmentCheckContext context;
    context.settings = &settings;
    context.glossary = glossary.Empty() ? nullptr : &glossary;
    context.checklist = checklist.Empty() ? nullptr : &checklist;
    context.sourceLanguage = row.sourceLanguage;
    context.targetLanguage = row.targetLanguage;
    // Locked segments and states not asked for are passed over.
    if ((segment.locked && !settings.checkLocked) || !(settings.statuses & (1u << (segment.state & 31))))
        return false;
    row.segmentsSeen += 1;
    if (consistency.On())
        row.keys.push_back({static_cast<uint32_t>(index), consistency.Hash(segment.source), consistency.Hash(segment.target)});
    const size_t before = row.notes.size();
    CheckSegment(segment, static_cast<int>(row.segments.size()), context, &row.notes);
    return row.notes.size() > before;
}

uint32_t CheckPass::Take(const FileResult& row) {
    const uint32_t file = static_cast<uint32_t>(files);
    if (row.status != kFileSearched || row.segmentsSeen == 0)
        return file;
    files += 1;
    segments += row.segmentsSeen;
    for (const SegmentKey& key : row.keys)
        consistency.AddHashed(file, key.segment, key.source, key.target);
    for (const SegmentNote& note : row.notes) {
        issues += 1;
        perKind[static_cast<size_t>(note.kind)] += 1;
    }
    return file;
}

void CheckPass::CountGroup(const ConsistencyIndex::Group& group) {
    issues += static_cast<int>(group.members.size());
    perKind[static_cast<size_t>(group.kind)] += static_cast<int>(group.members.size());
}

std::wstring CheckPass::Summary() const {
    std::wstring text = L"Checked " + std::to_wstring(segments) + (segments == 1 ? L" segment in " : L" segments in ") +
                        std::to_wstring(files) + (files == 1 ? L" file: " : L" files: ") + std::to_wstring(issues) +
                        (issues == 1 ? L" issue" : L" issues");
    std::wstring kinds;
    for (int k = 0; k < kCheckCount; ++k) {
        if (perKind[static_cast<size_t>(k)] == 0)
            continue;
        kinds += (kinds.empty() ? L"" : L", ") + std::wstring(CheckName(static_cast<CheckKind>(k))) + L" " +
                 std::to_wstring(perKind[static_cast<size_t>(k)]);
    }
    return text + (kinds.empty() ? L"" : L" (" + kinds + L")") + L".";
}

std::wstring GroupMessage(const ConsistencyIndex::Group& group) {
    return std::to_wstring(group.variants) +
           (group.kind == CheckKind::kInconsistentTarget ? L" translations" : L" sources");
}

void ForEachGroupMember(Searcher& searcher, const std::vector<ConsistencyIndex::Group>& groups,
                        const std::vector<std::wstring>& paths,
                        const std::function<void(const ConsistencyIndex::Group&, const ConsistencyIndex::Member&,
                                                 const ShownSegment&)>& each) {
    std::map<uint32_t, std::vector<std::pair<uint32_t, size_t>>> wanted;  // file: (segment, slot)
    size_t slots = 0;
    for (const ConsistencyIndex::Group& group : groups) {
        for (const ConsistencyIndex::Member& member : group.members)
            wanted[member.file].push_back({member.segment, slots++});
    }
    std::vector<ShownSegment> members(slots);
    std::vector<bool> found(slots, false);
    for (auto& [file, list] : wanted) {
        if (file >= paths.size())
            continue;
        std::sort(list.begin(), list.end());
        std::vector<uint32_t> places;  // the segments the row keeps, in order
        FileResult* row = searcher.ReadEverySegment(paths[file], [&](int index) {
            const auto at = std::lower_bound(list.begin(), list.end(), std::make_pair(static_cast<uint32_t>(index), size_t{0}));
            if (at == list.end() || at->first != static_cast<uint32_t>(index))
                return false;
            places.push_back(static_cast<uint32_t>(index));
            return true;
        });
        if (!row)
            continue;  // gone since: nothing to show
        for (const auto& [segment, slot] : list) {
            const auto at = std::lower_bound(places.begin(), places.end(), segment);
            if (at != places.end() && *at == segment && static_cast<size_t>(at - places.begin()) < row->segments.size()) {
                members[slot] = std::move(row->segments[static_cast<size_t>(at - places.begin())]);
                found[slot] = true;
            }
        }
        row->Release();
    }
    size_t slot = 0;
    for (const ConsistencyIndex::Group& group : groups) {
        for (const ConsistencyIndex::Member& member : group.members) {
            if (found[slot])
                each(group, member, members[slot]);
            ++slot;
        }
    }
}
