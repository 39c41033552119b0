#include "cli/CheckCommand.h"

#include <optional>
#include <utility>
#include <ostream>
#include <stdexcept>

#include "check/CheckRun.h"
#include "cli/CommandLine.h"
#include "cli/JsonSummary.h"
#include "io/RunError.h"
#include "report/RunReportFile.h"
#include "run/RunStopped.h"
#include "state/Module1.h"
#include "text/LineReader.h"
#include "workspace/FileList.h"
#include "workspace/Folders.h"

namespace marrowgate::cli {

namespace {

using arguments::UsageError;

struct Options {
    bool help = false, json = false, strict = false;
    std::optional<std::string> decal_file, report;
    std::vector<std::string> files;
};

Options parse(const std::vector<std::string>& args) {
    Options options;
    arguments::CommandLine line;
    line.flag("--help", options.help, {"-h"});
    for (const auto& [name, set] : {std::pair{"--json", &options.json}, std::pair{"--strict", &options.strict}})
        line.flag(name, *set);
    for (const auto& [name, value] : {std::pair{"--decal-file", &options.decal_file}, std::pair{"--report", &options.report}})
        line.value(name, [value](const std::string& given) { *value = given; });
    options.files = line.parse(args);
    if (options.help) return options;
    if (options.files.empty()) throw UsageError("no part-type library file given");
    if (options.files.size() > static_cast<std::size_t>(kMaxListedFiles))
        throw UsageError("at most four part-type library files can be checked in one run");
    if (options.report && options.report->empty()) throw UsageError("--report needs a file name");
    return options;
}

// A file given that the check does not read, with why.
class Refused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The marker line of a file of the rule's kind, as the file list looks for
// it: the first line that is one. Reads up to it only.
std::string marker_of(FileSystem& files, const std::filesystem::path& path, const MarkerRule& rule) {
    AddResult result;
    if (const auto kind = files.status(path, true).kind; kind != FileEntry::Kind::None && kind != FileEntry::Kind::File) {
        result.outcome = AddOutcome::NotRegularFile;
        throw Refused(describe_refusal(result, rule));
    }
    try {
        LineReader lines(files, path);
        std::string_view line;
        const MarkerRule other = rule.other_kind();
        while (lines.next(line)) {
            if (lines.held() != LineReader::Held::Whole) continue;
            if (rule.matches(line)) return std::string(line);
            if (result.marker.empty() && other.matches(line)) result.marker = line;
        }
    } catch (const FileError& error) {
        result.outcome = AddOutcome::CannotRead;
        result.reason = error.reason();
        throw Refused(describe_refusal(result, rule));
    }
    result.outcome = result.marker.empty() ? AddOutcome::NoMarker : AddOutcome::OtherKind;
    throw Refused(describe_refusal(result, rule));
}

bool same_file(FileSystem& files, const std::filesystem::path& a, const std::filesystem::path& b) {
    if (a == b) return true;
    const auto first = files.identity(a);
    return first && first == files.identity(b);
}

class CheckCommand {
public:
    CheckCommand(const Options& options, Streams streams, FileSystem& files)
        : options_(options), streams_(streams), files_(files) {}

    int run() {
        CheckInputs inputs;
        std::optional<std::filesystem::path> report;
        try {
            inputs = take_inputs();
            if (options_.report) report = take_report(inputs);
        } catch (const Refused& refused) {
            return say(kUsageOrRefused, refused.what());
        }
        CheckResult result;
        std::optional<std::filesystem::path> scratch;
        try {
            std::optional<WarningFiles> spill;
            if (report) {
                const std::filesystem::path folder = report->has_parent_path() ? report->parent_path() : ".";
                scratch = files_.make_unique_folder(folder, ".marrowgate-check-");
                spill.emplace(files_, *scratch, *report);
            }
            run_check(inputs, files_, result, spill ? &*spill : nullptr, [&] {
                if (streams_.stop_signal && streams_.stop_signal->load() != 0) throw RunStopped();
            });
            if (report) {
                write_sections_report(files_, *report, check_report_head(result), check_report_sections(result), *spill);
                result.report = *report;
            }
        } catch (const RunStopped&) {
            remove_scratch(scratch);
            return say(kStoppedBySignal + streams_.stop_signal->load(), "stopped by a signal.");
        } catch (const FileError& error) {
            remove_scratch(scratch);
            return say(kUsageOrRefused, terminal_text(display_path(error.file()) + ": " + error.reason()));
        } catch (const RunError& error) {
            remove_scratch(scratch);
            return say(kUsageOrRefused, terminal_text(error.what()));
        }
        remove_scratch(scratch);
        const bool failed = result.count(Severity::Error) > 0 || (options_.strict && result.count(Severity::Warning) > 0);
        const int code = failed ? kRunFailed : kFinished;
        if (options_.json) streams_.out << check_json_summary(result, options_.strict, code);
        else streams_.out << terminal_text(check_summary_text(result));
        return code;
    }

private:
    int say(int code, const std::string& message) {
        streams_.err << "marrowgate-cli: check: " << message << "\n";
        return code;
    }

    CheckInputs take_inputs() {
        CheckInputs inputs;
        const MarkerRule part_rule = MarkerRule::part_types_any_version();
        std::string first_file;
        for (const auto& file : options_.files) {
            const std::filesystem::path path = absolute_argument(file);
            const auto refuse = [&](const std::string& why) { return Refused(terminal_text(file + ": refused: " + why)); };
            for (const auto& listed : inputs.part_files)
                if (same_file(files_, listed, path)) throw refuse("it is given twice");
            std::string marker;
            try {
                marker = marker_of(files_, path, part_rule);
            } catch (const Refused& why) {
                throw refuse(why.what());
            }
            if (inputs.part_files.empty()) {
                inputs.format = marker;
                first_file = file;
            } else if (marker != inputs.format) {
                throw refuse("it carries the marker line " + marker + " and " + first_file + " " + inputs.format +
                             "; one check reads one format");
            }
            inputs.part_files.push_back(path);
        }
        if (!options_.decal_file) return inputs;
        const std::filesystem::path path = absolute_argument(*options_.decal_file);
        const auto refuse = [&](const std::string& why) {
            return Refused(terminal_text(*options_.decal_file + ": refused as decal file: " + why));
        };
        for (const auto& listed : inputs.part_files)
            if (same_file(files_, listed, path)) throw refuse("it is listed as a part-type file");
        try {
            marker_of(files_, path, MarkerRule::decals_any_version());
        } catch (const Refused& why) {
            throw refuse(why.what());
        }
        inputs.decal_file = path;
        return inputs;
    }

    // The report is never one of the files read: writing it would destroy them.
    std::filesystem::path take_report(const CheckInputs& inputs) {
        const std::filesystem::path path = absolute_argument(*options_.report);
        std::vector<std::filesystem::path> read = inputs.part_files;
        if (!inputs.decal_file.empty()) read.push_back(inputs.decal_file);
        for (const auto& input : read)
            if (same_file(files_, input, path))
                throw Refused(terminal_text(*options_.report + ": refused as report: it is the input " +
                                            display_path(input) + ", which writing the report would destroy"));
        return path;
    }

    void remove_scratch(const std::optional<std::filesystem::path>& scratch) {
        if (!scratch) return;
        try {
            for (const auto& name : files_.names_in(*scratch).value_or(std::vector<std::filesystem::path>()))
                files_.remove(*scratch / name);
            files_.remove_empty_folder(*scratch);
        } catch (const FileError&) {
            // Scratch files left behind are no fault of the check's findings.
        }
    }

    const Options& options_;
    Streams streams_;
    FileSystem& files_;
};

}  // namespace

std::string check_help_text() {
    return
        "Usage: marrowgate-cli check [--decal-file FILE] [--json] [--strict] [--report FILE]\n"
        "                            FILE...\n"
        "\n"
        "Reads up to four PADS ASCII part-type library files (all of one marker line,\n"
        "*PADS-LIBRARY-PART-TYPES-V<version>*) and, with --decal-file, their PCB decal\n"
        "library, and tells what is wrong with them. Writes nothing but the report.\n"
        "\n"
        "Errors:\n"
        "  decals that parts name (first or alternate) and the decal library lacks;\n"
        "  pin counts other than the pad count of the part's first decal;\n"
        "  decals defined again in the decal library with another pad count.\n"
        "Warnings:\n"
        "  pin counts other than the pad count of an alternate decal; part names met\n"
        "  again with another block (the first differing line named); decal header\n"
        "  lines without a pad count; blocks without their closing empty line; lines\n"
        "  outside any part block; header counts (attributes, gates, signal pins)\n"
        "  that disagree with the block's lines.\n"
        "Information:\n"
        "  part names met again with an identical block, or one that differs only in\n"
        "  its TIMESTAMP line; decals defined again with the same pad count; decals\n"
        "  no part names; checks left out. Pins and header counts are read field by\n"
        "  field for V2007 and V9 libraries only.\n"
        "\n"
        "Options:\n"
        "  --decal-file FILE  PCB decal library (*PADS-LIBRARY-PCB-DECALS-V<version>*)\n"
        "  --json             print the findings as one JSON object\n"
        "  --strict           warnings fail the check too\n"
        "  --report FILE      write every finding into FILE (replaced)\n"
        "  --help             show this text\n"
        "\n"
        "The summary on standard output gives the findings by severity and kind,\n"
        "grouped (by decal, by part name, by file), about 40 lines at most.\n"
        "\n"
        "Exit status: 0 no error, 1 errors found (with --strict, warnings too), 2 usage\n"
        "error or a refused or unreadable file, 130 or 143 stopped by SIGINT or SIGTERM.\n";
}

int run_check_command(const std::vector<std::string>& args, Streams streams, FileSystem& files) {
    Options options;
    try {
        options = parse(args);
    } catch (const UsageError& error) {
        streams.err << "marrowgate-cli: check: " << terminal_text(error.what())
                    << "\nTry 'marrowgate-cli check --help'.\n";
        return kUsageOrRefused;
    }
    if (options.help) {
        streams.out << check_help_text();
        return kFinished;
    }
    return CheckCommand(options, streams, files).run();
}

}  // namespace marrowgate::cli
