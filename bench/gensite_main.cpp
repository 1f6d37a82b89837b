// infemora-gensite: writes demo sites and benchmark data with the project's own generator.
#include "bench/gensite.h"

#include "host/datetime.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;
using namespace infemora;

namespace {

struct Common {
    std::uint32_t seed = 1;
    std::string today;
    int days = 14;
};

void AddCommon(CLI::App* cmd, Common& c) {
    cmd->add_option("--seed", c.seed, "seed of the random numbers (same seed, same bytes)");
    cmd->add_option("--today", c.today, "last day of the period as YYYYMMDD (default: today)");
    cmd->add_option("--days", c.days, "days of the period, ending today")->check(CLI::Range(1, 3650));
}

gensite::GenParams Params(const Common& c) {
    gensite::GenParams p;
    p.seed = c.seed;
    p.days = c.days;
    if (c.today.empty()) {
        // Entries stop at the current time, none lies in the future.
        const TDateTime now = qvr_Now();
        p.today = now.dateOnly();
        p.lastDayEndSecond = static_cast<int>(now.timeMs() / MsPerSecond);
    } else if (c.today.size() != 8 || !TryJJJJMMTT2Date(c.today, p.today)) {
        throw CLI::ValidationError("--today", "'" + c.today + "' is no date YYYYMMDD");
    }
    return p;
}

std::int64_t Megabytes(double mb) {
    return std::llround(mb * 1'000'000.0);
}

void Summary(const std::string& what, const std::string& path, double seconds) {
    std::uintmax_t bytes = 0, files = 0;
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        for (const auto& e : fs::recursive_directory_iterator(path, ec))
            if (e.is_regular_file(ec))
                ++files, bytes += e.file_size(ec);
    } else {
        files = 1, bytes = fs::file_size(path, ec);
    }
    std::cout << "infemora-gensite: " << what << " written to " << path << " (" << files << " files, "
              << bytes << " bytes, " << std::fixed;
    std::cout.precision(1);
    std::cout << seconds << " s)" << std::endl;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"infemora-gensite: generates demo sites and benchmark data"};
    app.require_subcommand(1);

    Common demoC, mergeC, evalC, bookC;
    std::string demoDir, mergeDir, evalDir, bookFile;
    int mergeFiles = 8, evalFiles = 30, count = 300, records = 0;
    double totalMb = 20, fileMb = 13, errorShare = 5;

    auto* demo = app.add_subcommand("demo", "a demo site: logs, rule file, settings file, bookings");
    demo->add_option("DIR", demoDir, "target folder")->required();
    AddCommon(demo, demoC);

    auto* merge = app.add_subcommand("merge-bench", "info logs for the merge benchmark");
    merge->add_option("DIR", mergeDir, "target folder (new or empty)")->required();
    merge->add_option("--files", mergeFiles, "number of info logs")->check(CLI::Range(1, 5000));
    merge->add_option("--total-mb", totalMb, "size of all logs together, in MB (10^6 bytes)")
        ->check(CLI::PositiveNumber);
    AddCommon(merge, mergeC);

    auto* eval = app.add_subcommand("eval-bench", "info logs for the evaluation benchmark");
    eval->add_option("DIR", evalDir, "target folder (new or empty)")->required();
    eval->add_option("--files", evalFiles, "number of info logs")->check(CLI::Range(1, 5000));
    eval->add_option("--file-mb", fileMb, "size of each log in MB (10^6 bytes), kept below 15,000,000 bytes")
        ->check(CLI::PositiveNumber);
    eval->add_option("--error-share", errorShare, "per cent of the entries that are error entries")
        ->check(CLI::Range(0.0, 100.0));
    AddCommon(eval, evalC);

    auto* book = app.add_subcommand("bookings-jsonl", "bookings in the import format");
    book->add_option("FILE", bookFile, "target file")->required();
    book->add_option("--count", count, "number of bookings")->check(CLI::NonNegativeNumber);
    book->add_option("--records", records, "record lines per booking (0: 2 to 12 at random)")
        ->check(CLI::NonNegativeNumber);
    AddCommon(book, bookC);

    std::string rulesFile;
    auto* rules = app.add_subcommand("rules", "the rule file infopars.ini of the demo site");
    rules->add_option("FILE", rulesFile, "target file")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }

    const auto started = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };
    try {
        if (*demo) {
            gensite::WriteDemoSite(demoDir, Params(demoC));
            Summary("demo site", demoDir, elapsed());
        } else if (*merge) {
            gensite::WriteMergeBench(mergeDir, mergeFiles, Megabytes(totalMb), Params(mergeC));
            Summary("merge data", mergeDir, elapsed());
        } else if (*eval) {
            gensite::WriteEvalBench(evalDir, evalFiles, Megabytes(fileMb), errorShare, Params(evalC));
            Summary("evaluation data", evalDir, elapsed());
        } else if (*book) {
            gensite::WriteBookingsJsonl(bookFile, count, records, Params(bookC));
            Summary("bookings", bookFile, elapsed());
        } else if (*rules) {
            gensite::WriteRuleFile(rulesFile);
            Summary("rule file", rulesFile, elapsed());
        }
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    } catch (const std::exception& e) {
        std::cerr << "infemora-gensite: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}
