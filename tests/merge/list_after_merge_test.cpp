// The file list after a merge shows the files that exist now.
#include "merge/list_after_merge.h"

#include <gtest/gtest.h>

namespace infemora {
namespace {

using Liste = std::vector<std::string>;

TEST(DateilisteNachLauf, AfterAConsolidationTheMergedRestStandsForTheDeletedSources) {
    struct Fall {
        const char* name;
        Liste gelistet;
        MergeRunResult lauf;
        Liste erwartet;
    };
    auto lauf = [](Liste files, bool archived, Liste deleted, std::string viewFile) {
        MergeRunResult r;
        r.success = true;
        r.files = std::move(files);
        r.archived = archived;
        r.deleted = std::move(deleted);
        r.viewFile = std::move(viewFile);
        return r;
    };
    const Fall faelle[] = {
        {"no consolidation: the order of the run (the file being written first)",
         {"/l/A", "/l/infoprot.tmp"},
         lauf({"/l/infoprot.tmp", "/l/A"}, false, {}, "/s/TEMOSORT.TXT"),
         {"/l/infoprot.tmp", "/l/A"}},
        {"all sources deleted",
         {"/l/infoprot.tmp", "/l/A", "/l/B"},
         lauf({"/l/infoprot.tmp", "/l/A", "/l/B"}, true, {"/l/infoprot.tmp", "/l/A", "/l/B"},
              "/l/INFEMORA.000"),
         {"/l/INFEMORA.000"}},
        {"a source that could not be deleted stays",
         {"/l/A", "/l/B"},
         lauf({"/l/A", "/l/B"}, true, {"/l/B"}, "/l/INFEMORA.000"),
         {"/l/A", "/l/INFEMORA.000"}},
        {"INFEMORA.000 that was itself a source stands once",
         {"/l/INFEMORA.000", "/l/A"},
         lauf({"/l/INFEMORA.000", "/l/A"}, true, {"/l/A"}, "/l/INFEMORA.000"),
         {"/l/INFEMORA.000"}},
        {"the rest under its archive name: nothing was deleted",
         {"/l/A", "/l/B"},
         lauf({"/l/A", "/l/B"}, true, {}, "/l/ALT-INFO.00003"),
         {"/l/A", "/l/B"}},
        {"a failed run keeps the list", {"/l/A"}, MergeRunResult{}, {"/l/A"}},
    };
    for (const auto& f : faelle)
        EXPECT_EQ(DateilisteNachLauf(f.gelistet, f.lauf), f.erwartet) << f.name;
}

} // namespace
} // namespace infemora
