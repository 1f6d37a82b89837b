// The merge's output divided into two files while it is written.
#include "merge/merge_output.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace infemora {
namespace {

using testenv::TempSite;

// Names a fixed offset, but only once `decideAfter` bytes have come (or at the end): a rule that
// decides late.
struct LateSplit : ITextSplit {
    std::optional<std::uint64_t> at;
    std::uint64_t decideAfter = 0;
    std::uint64_t seen = 0;
    bool finished = false;
    std::optional<std::uint64_t> Feed(const char*, std::size_t size) override {
        seen += size;
        return at && seen >= decideAfter ? at : std::nullopt;
    }
    std::optional<std::uint64_t> Finish() override {
        finished = true;
        return at;
    }
};

TEST(MergeOutputSplit, EveryByteLandsOnceOnItsSideOfTheOffsetHoweverLateTheRuleDecides) {
    // Six batches of ten bytes, each written at once.
    std::string text;
    for (char c = 'a'; c < 'g'; ++c)
        text += std::string(9, c) + '\n';
    struct Fall {
        const char* name;
        std::optional<std::uint64_t> at;
        std::uint64_t decideAfter;
    } faelle[] = {
        {"never divided", std::nullopt, 0},        {"at the first byte", 0, 0},
        {"inside the batch that decides", 25, 30}, {"batches before the one that decides", 12, 50},
        {"decided only at the end", 33, 1000},     {"after the last byte", 60, 1000},
    };
    for (const auto& f : faelle) {
        TempSite site;
        LateSplit rule;
        rule.at = f.at;
        rule.decideAfter = f.decideAfter;
        MergeOutput out(site.path("TEMOKUER.TXT"), 1, 1u << 20);
        out.SplitBy(&rule);
        for (std::size_t i = 0; i < text.size(); i += 10) {
            out.Append(text.data() + i, 10);
            out.EndBatch(nullptr);
        }
        out.Finish(true);
        const std::string first = out.Keep(), second = out.KeepSplit();
        EXPECT_EQ(rule.seen, text.size()) << f.name << ": the rule is told every byte, as it may count them";
        EXPECT_TRUE(rule.finished) << f.name;
        const std::size_t at = f.at ? static_cast<std::size_t>(*f.at) : text.size();
        EXPECT_EQ(site.readFile(first), text.substr(0, at)) << f.name;
        EXPECT_EQ(second.empty(), !f.at) << f.name;
        if (!second.empty()) {
            EXPECT_EQ(site.readFile(second), text.substr(at)) << f.name;
        }
    }
}

TEST(MergeOutputSplit, BothFilesGoWithTheOutputUnlessTheyAreKept) {
    TempSite site;
    LateSplit rule;
    rule.at = 3;
    {
        MergeOutput out(site.path("TEMOKUER.TXT"), 1, 1u << 20);
        out.SplitBy(&rule);
        out.Append("abcdef", 6);
        out.EndBatch(nullptr);
        out.Finish(false);
    }
    for (const auto& e : std::filesystem::directory_iterator(site.root()))
        EXPECT_FALSE(e.is_regular_file()) << e.path() << " was left behind";
}

} // namespace
} // namespace infemora
