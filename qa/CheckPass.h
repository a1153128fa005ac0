// A pass of the checks over what a search walks: the settings, the glossary
// and the checklist it runs with, the per-segment checks that run on each
// row's own thread, and the counts and consistency index that the rows feed
// in walk order.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/SearchRecords.h"
#include "qa/CheckKinds.h"
#include "qa/Checklist.h"
#include "qa/Consistency.h"
#include "qa/Glossary.h"

class CheckPass {
public:
    explicit CheckPass(const CheckSettings& settings);

    // Reads the glossary (CSV or TSV) and the checklist, either path empty
    // for none. False with *error saying which file and why.
    bool Load(const std::wstring& glossaryPath, const std::wstring& checklistPath, std::wstring* error);

    // Checks segment `index` of a row's file as the search shows it: its
    // notes join the row's, its keys for the consistency checks too; true
    // when the row must keep it (it was flagged). Safe on any thread once
    // Load is done.
    bool Visit(FileResult& row, const ShownSegment& segment, int index) const;
    std::function<bool(FileResult&, const ShownSegment&, int)> Visitor() const {
        return [this](FileResult& row, const ShownSegment& segment, int index) { return Visit(row, segment, index); };
    }

    // A finished row, in walk order: counted, and its segments noted for the
    // consistency checks. Returns the row's file number in the pass.
    uint32_t Take(const FileResult& row);

    // The consistency groups once every row was taken.
    std::vector<ConsistencyIndex::Group> Groups() const { return consistency.Groups(); }

    // Counts a group's members among the issues.
    void CountGroup(const ConsistencyIndex::Group& group);

    int SegmentsChecked() const { return segments; }
    int FilesChecked() const { return files; }
    int Issues() const { return issues; }
    // "Checked 12 segments in 3 files: 4 issues (numbers 3, tags 1)."
    std::wstring Summary() const;

    const CheckSettings& Settings() const { return settings; }
    const ConsistencyIndex& Consistency() const { return consistency; }

private:
    CheckSettings settings;
    Glossary glossary;
    Checklist checklist;
    ConsistencyIndex consistency;
    int segments = 0;
    int files = 0;
    int issues = 0;
    std::array<int, kCheckCount> perKind{};
};

class Searcher;

// Reads the members of `groups` again, file by file (one file in memory at
// a time, of it only the members' segments), and calls `each` for every
// member found, in the groups' order. `paths` are the files' paths by their
// number in the pass; a file gone since is passed over.
void ForEachGroupMember(Searcher& searcher, const std::vector<ConsistencyIndex::Group>& groups,
                        const std::vector<std::wstring>& paths,
                        const std::function<void(const ConsistencyIndex::Group&, const ConsistencyIndex::Member&,
                                                 const ShownSegment&)>& each);

// "2 translations", "3 sources": a consistency group's message.
std::wstring GroupMessage(const ConsistencyIndex::Group& group);
