#include "cli/SortCommand.h"

#include <filesystem>
#include <optional>
#include <ostream>

#include "cli/CheckCommand.h"
#include "cli/CommandLine.h"
#include "cli/JsonSummary.h"
#include "io/RunError.h"
#include "report/RunText.h"
#include "run/RunFrame.h"
#include "sort/Sorts.h"
#include "state/Module1.h"
#include "workspace/FileList.h"
#include "workspace/Folders.h"

namespace marrowgate::cli {

namespace {

// The status label, drawn in place on a terminal.
class TerminalStatus final : public StatusDisplay {
public:
    TerminalStatus(std::ostream& err, bool enabled, const std::atomic<int>* stop)
        : err_(err), enabled_(enabled), stop_(stop) {}
    ~TerminalStatus() override {
        if (enabled_ && shown_) err_ << '\n' << std::flush;
    }
    void set_hourglass(bool) override {}
    void set_visible(bool) override {}
    void pump_events() override {}
    bool stop_requested() override { return stop_ && stop_->load(std::memory_order_relaxed) != 0; }
    void set_caption(const std::string& caption) override {
        if (!enabled_) return;
        shown_ = true;
        err_ << '\r' << caption << "\x1b[K" << std::flush;
    }

private:
    std::ostream& err_;
    bool enabled_;
    const std::atomic<int>* stop_;
    bool shown_ = false;
};

struct Options {
    std::optional<SortKey> key;
    std::optional<std::string> decal_file;
    std::optional<std::string> app_folder;
    std::vector<std::string> files;
    bool help = false;
    bool version = false;
    bool json = false;
    bool dry_run = false;
    bool no_sync = false;
};

using arguments::UsageError;

Options parse(const std::vector<std::string>& args) {
    Options options;
    arguments::CommandLine line;
    line.flag("--help", options.help, {"-h"});
    line.flag("--version", options.version);
    line.flag("--json", options.json);
    line.flag("--dry-run", options.dry_run);
    line.flag("--no-sync", options.no_sync);
    line.value("--sort", [&](const std::string& name) {
        options.key = sort_key_from_name(name);
        if (!options.key)
            throw UsageError("unknown sort key \"" + name +
                             "\" (use alphanumeric, logic-family, decal-name or pad-count)");
    });
    line.value("--decal-file", [&](const std::string& file) { options.decal_file = file; });
    line.value("--app-folder", [&](const std::string& folder) { options.app_folder = folder; });
    options.files = line.parse(args);
    return options;
}

// What a run needs that the arguments can lack, once help and version are
// ruled out.
void check(const Options& options) {
    if (!options.key) throw UsageError("--sort KEY is required");
    if (options.files.empty()) throw UsageError("no part-type library file given");
    if (options.files.size() > static_cast<std::size_t>(kMaxListedFiles))
        throw UsageError("at most four part-type library files can be sorted in one run");
    if (*options.key == SortKey::PadCount && !options.decal_file)
        throw UsageError("--sort pad-count needs --decal-file FILE");
}

// Where the run's report is, or why it could not be written.
void print_report_line(std::ostream& out, const RunResult& result) {
    if (!result.warnings.report.empty()) out << terminal_text("Report: " + display_path(result.warnings.report)) << '\n';
    if (!result.warnings.report_error.empty())
        out << terminal_text("The report could not be written: " + result.warnings.report_error) << '\n';
}

// A run whose arguments are sound: the application folder, the inputs, then
// the sort. Each step that cannot go on says why and gives the exit code.
class SortRun {
public:
    SortRun(const Options& options, Streams streams, FileSystem& files)
        : options_(options), streams_(streams), files_(files) {}

    int run() {
        if (const auto refused = choose_folder()) return *refused;
        if (const auto refused = list_inputs()) return *refused;
        if (const auto refused = check_inputs()) return *refused;
        return sort();
    }

private:
    int say(int code, const std::string& message) {
        streams_.err << "marrowgate-cli: " << message << "\n";
        return code;
    }

    std::optional<int> choose_folder() {
        std::optional<std::filesystem::path> given;
        if (options_.app_folder) given = absolute_argument(*options_.app_folder);
        const FolderChoice folders = choose_folders(given);
        if (!folders.refusal.empty()) return say(kRunFailed, terminal_text(folders.refusal));
        state_.Application_Folder = folders.application_folder;
        state_.Message_File = folders.message_file;
        return std::nullopt;
    }

    std::optional<int> list_inputs() {
        // The command line takes every version of the formats, not only V4.
        const MarkerRule part_rule = MarkerRule::part_types_any_version();
        for (const auto& file : options_.files) {
            const auto result = add_part_type_file(state_, absolute_argument(file), files_, part_rule);
            if (result.outcome != AddOutcome::Added)
                return say(kUsageOrRefused, terminal_text(file + ": refused: " + describe_refusal(result, part_rule)));
        }
        if (!options_.decal_file) return std::nullopt;
        const MarkerRule decal_rule = MarkerRule::decals_any_version();
        const auto result = choose_decal_file(state_, absolute_argument(*options_.decal_file), files_, decal_rule);
        if (result.outcome == AddOutcome::Added) return std::nullopt;
        const std::string reason = result.outcome == AddOutcome::AlreadyListed ? "it is listed as a part-type file"
                                                                               : describe_refusal(result, decal_rule);
        return say(kUsageOrRefused, terminal_text(*options_.decal_file + ": refused as decal file: " + reason));
    }

    std::optional<int> check_inputs() {
        // One library file holds one format: the listed files must agree.
        try {
            run_format(state_);
        } catch (const RunError& error) {
            return say(kUsageOrRefused, terminal_text(error.what()));
        }
        // No input may be a file the run removes, replaces or writes.
        if (const auto refusal = own_file_refusal(state_, *options_.key, files_)) return say(kUsageOrRefused, *refusal);
        return std::nullopt;
    }

    int sort() {
        // A dry run makes what the run makes and undoes it when it is gone.
        DiscardingFileSystem dry(files_);
        FileSystem& below = options_.dry_run ? static_cast<FileSystem&>(dry) : files_;
        UnsyncedFileSystem unsynced(below);
        FileSystem& layer = options_.no_sync ? static_cast<FileSystem&>(unsynced) : below;
        if (!make_working_folders(state_, layer))
            return say(kRunFailed, "cannot create the folders lib and tmp in " +
                                       terminal_text(display_path(state_.Application_Folder)));
        RunResult result;
        {
            TerminalStatus status(streams_.err, streams_.err_is_terminal, streams_.stop_signal);
            result = run_sort(state_, *options_.key, status, layer);
        }
        return finish(result);
    }

    int finish(const RunResult& result) {
        if (options_.json)
            streams_.out << json_summary(result, sort_key_name(*options_.key), lib_folder(state_), options_.dry_run);
        if (result.outcome == RunResult::Outcome::Stopped)
            return say(kStoppedBySignal + streams_.stop_signal->load(),
                       "stopped by a signal: nothing in " + terminal_text(display_path(lib_folder(state_))) +
                           " was changed.");
        if (result.outcome == RunResult::Outcome::Refused) return say(kUsageOrRefused, result.error);
        if (!result.ok) {
            const int code = say(kRunFailed, "error: " + terminal_text(result.error));
            if (!options_.dry_run) print_report_line(streams_.err, result);
            return code;
        }
        if (!options_.json) streams_.out << terminal_text(run_summary_text(result, options_.dry_run));
        return kFinished;
    }

    const Options& options_;
    Streams streams_;
    FileSystem& files_;
    Module1 state_;
};

}  // namespace

std::string help_text() {
    return
        "Usage: marrowgate-cli --sort KEY [--decal-file FILE] [--app-folder DIR] [--json] [--dry-run]\n"
        "                      [--no-sync] FILE...\n"
        "       marrowgate-cli check [--decal-file FILE] [--json] [--strict] [--report FILE] FILE...\n"
        "                      (see marrowgate-cli check --help)\n"
        "\n"
        "Reads up to four PADS ASCII part-type library files and writes every part\n"
        "type again into new part-type libraries, one file per value of KEY, named\n"
        "LIB_<key>.p in the folder lib of the application folder.\n"
        "\n"
        "KEY is one of:\n"
        "  alphanumeric   the first character of the part name (\\ / and . become _)\n"
        "  logic-family   the logic family (word 4 of the part header)\n"
        "  decal-name     the first PCB decal name (first /, \\ and . become _)\n"
        "  pad-count      the number of pads of the part's first PCB decal, looked up\n"
        "                 in the decal library given with --decal-file (required)\n"
        "\n"
        "Options:\n"
        "  --decal-file FILE  PCB decal library (*PADS-LIBRARY-PCB-DECALS-V<version>*)\n"
        "  --app-folder DIR   folder that holds lib and tmp (default: the folder of\n"
        "                     this program when marrowgate_msg.dat is beside it;\n"
        "                     for an installed copy the per-user data folder,\n"
        "                     $XDG_DATA_HOME/marrowgate or ~/.local/share/marrowgate,\n"
        "                     %LOCALAPPDATA%\\Marrowgate on Windows)\n"
        "  --json             print the summary as one JSON object\n"
        "  --dry-run          print the summary the run would produce; write nothing\n"
        "                     (no folder, no list file, no library file): it takes\n"
        "                     the locks and tries in folders of its own what the run\n"
        "                     would do, and fails where the run would fail\n"
        "  --no-sync          do not wait for the new files to be on the disk before\n"
        "                     putting them in place (for scripts that make many runs;\n"
        "                     after a power cut a library may be empty or cut short)\n"
        "  --help             show this text\n"
        "  --version          show the version\n"
        "\n"
        "Formats: each FILE must hold a marker line *PADS-LIBRARY-PART-TYPES-V<version>*\n"
        "(V4, V5, V2005, V2007, V9 ...), have the extension .p or .d, and be given once.\n"
        "All FILEs of a run must carry the same marker. Every output file begins with\n"
        "that marker line, so the outputs keep the format of their inputs, and ends\n"
        "with *END*. Output files of keys found are created or emptied; other files in\n"
        "lib stay as they are.\n"
        "\n"
        "The summary on standard output says how many parts were written into how\n"
        "many library files and how many were placed in no file, and why; lists each\n"
        "library file written with its key and number of parts, how many other files\n"
        "lib holds, then the warnings by kind, grouped (parts placed in no file by\n"
        "missing decal, part names met more than once, blocks without their closing\n"
        "empty line, decal library lines, lines outside any part block), about 40\n"
        "lines at most. Every run writes\n"
        "marrowgate-report.txt into the application folder: every group, then every\n"
        "warning, each part with its file, its position and its line.\n"
        "\n"
        "A run changes lib only when every file is complete and on the disk: one that\n"
        "fails, is stopped (Ctrl+C, SIGTERM) or is killed leaves every file as it was.\n"
        "One run at a time works in an application folder, and in its lib and tmp\n"
        "(links followed: application folders that share a lib share its lock); a\n"
        "second one is refused. A file given that the run would remove, replace or\n"
        "write (an output, a list file, the report, a lock file, a file in a folder\n"
        "a stopped run left) is refused.\n"
        "\n"
        "Exit status: 0 the run finished (warnings included), 1 the run failed, another\n"
        "run holds the folder, or the summary could not be written, 2 usage error or a\n"
        "refused input file (nothing written), 130 or 143 stopped by SIGINT or SIGTERM\n"
        "(nothing changed).\n";
}

int run_command_line(const std::vector<std::string>& args, Streams streams, FileSystem& files) {
    if (!args.empty() && args.front() == "check")
        return run_check_command(std::vector<std::string>(args.begin() + 1, args.end()), streams, files);
    Options options;
    try {
        options = parse(args);
        if (options.help) {
            streams.out << help_text();
            return kFinished;
        }
        if (options.version) {
            streams.out << "marrowgate-cli " << MARROWGATE_VERSION << '\n';
            return kFinished;
        }
        check(options);
    } catch (const UsageError& error) {
        streams.err << "marrowgate-cli: " << terminal_text(error.what()) << "\nTry 'marrowgate-cli --help'.\n";
        return kUsageOrRefused;
    }
    return SortRun(options, streams, files).run();
}

}  // namespace marrowgate::cli
