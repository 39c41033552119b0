#include "generator/LibraryGenerator.h"

#include <algorithm>
#include <memory>
#include <string_view>
#include <unordered_set>

#include "io/FileSystem.h"

namespace marrowgate::bench {
namespace {

// splitmix64: small, fast and the same on every platform, which the standard
// library's distributions are not.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(next() % n); }
    int between(int low, int high) { return low + static_cast<int>(below(static_cast<std::size_t>(high - low + 1))); }
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    bool chance(double p) { return p > 0 && unit() < p; }
    // Low indices far more often than high ones: a few packages and families
    // hold most parts of a real library.
    std::size_t skewed(std::size_t n) {
        const double u = unit();
        return std::min(n - 1, static_cast<std::size_t>(u * u * static_cast<double>(n)));
    }
    template <class T>
    const T& pick(const std::vector<T>& items) { return items[below(items.size())]; }

private:
    std::uint64_t state_;
};

std::uint64_t stream_seed(std::uint64_t seed, std::uint64_t stream) {
    Random mix(seed * 0x100000001B3ull + stream);
    return mix.next();
}

// Text appended to a file in large writes.
class Sink {
public:
    Sink(const std::filesystem::path& path, double lf_rate, Random& random, Census& census)
        : out_(real_file_system().open_write(path, WriteMode::Truncate)),
          lf_rate_(lf_rate), random_(random), census_(census) {}

    void line(std::string_view text) {
        text_.append(text);
        end_line();
    }
    void end_line() {
        if (random_.chance(lf_rate_)) {
            text_ += '\n';
            ++census_.lf_line_end;
        } else {
            text_ += "\r\n";
        }
        if (text_.size() >= (1u << 20)) flush();
    }
    std::string& text() { return text_; }
    std::uint64_t finish() {
        flush();
        out_->close();
        return written_;
    }

private:
    void flush() {
        out_->write(text_.data(), text_.size());
        written_ += text_.size();
        text_.clear();
    }

    std::unique_ptr<OutputFile> out_;
    double lf_rate_;
    Random& random_;
    Census& census_;
    std::string text_;
    std::uint64_t written_ = 0;
};

struct Decal {
    std::string name;
    std::string pads;  // the pad count as the header writes it
    int pad_number = 0;
};

std::string num(long long value) { return std::to_string(value); }

// A decal name in one of the styles real libraries use, and its pad count.
std::string decal_style_name(Random& random, int& pads) {
    static const std::vector<std::string> chip_prefix = {"R", "C", "L", "D", "LED_", "CAPC", "RESC"};
    static const std::vector<std::string> chip_size = {"0201", "0402", "0603", "0805", "1206", "1210", "2512"};
    static const std::vector<std::string> misc = {"TO220", "TO263", "SMA", "SMB", "SMC", "SOD123", "XTAL_HC49", "DPAK"};
    const std::size_t style = random.below(20);
    if (style < 6) {
        pads = 2;
        std::string name = random.pick(chip_prefix);
        name += random.pick(chip_size);
        if (random.chance(0.3)) name += "_HD";
        return name;
    }
    if (style < 9) {
        pads = random.pick(std::vector<int>{3, 3, 5, 6, 8});
        return "SOT" + random.pick(std::vector<std::string>{"23-", "363-", "223-", "89-"}) + num(pads);
    }
    if (style < 12) {
        pads = 2 * random.between(3, 14);
        const int width = random.between(55, 105) * 10;
        const int height = random.between(100, 265);
        return "SOIC127P" + num(width) + "X" + num(height) + "-" + num(pads) + "N";
    }
    if (style < 14) {
        const int side = random.between(3, 16);
        pads = 4 * side + 1;
        const std::string pitch = random.pick(std::vector<std::string>{"40", "50", "65"});
        return "QFN" + pitch + "P" + num(side * 50) + "X" + num(side * 50) + "X100-" + num(pads) + "N";
    }
    if (style < 15) {
        pads = 2 * random.between(2, 20);
        return "DIP" + num(pads) + random.pick(std::vector<std::string>{"", "_300", "_600"});
    }
    if (style < 17) {
        const int rows = random.between(1, 2);
        const int count = random.between(2, 40);
        pads = rows * count;
        return "HDR" + num(rows) + "X" + num(count) + random.pick(std::vector<std::string>{"_2.54", "_1.27", "_2.0MM"});
    }
    if (style < 18) {
        const int side = random.between(7, 22);
        pads = side * side;
        return "BGA" + num(pads) + "C80P" + num(side) + "X" + num(side) + "_" + num(side * 80 + 100);
    }
    pads = random.between(2, 7);
    return random.pick(misc) + "-" + num(pads);
}

const std::vector<std::string>& family_names() {
    static const std::vector<std::string> names = {
        "TTL", "CMOS", "ECL", "ANA", "REG", "DIO", "CON", "UND", "RES", "CAP", "IND", "XTAL", "LED", "FET",
        "BJT", "OPA", "CMP", "ADC", "DAC", "MCU", "MEM", "FPGA", "PWR", "LDO", "SW", "RLY", "FUSE", "ESD",
        "TVS", "OSC", "LOG", "MUX", "DRV", "SEN", "RF", "ANT", "BAT", "MISC", "XFMR", "HCMOS"};
    return names;
}

constexpr std::string_view kInitials = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// Names, families and decal fields that a file name cannot carry as they are,
// or that only differ where the keys' replacements meet.
const std::vector<std::string> kAwkwardInitials = {".", "/", "\\", "_", ":", "*", "\"", "<", "|", "?"};
const std::vector<std::string> kAwkwardFamilies = {"A/B", "A_B", "A:B", "ttl", "", "<MIX>", "\xB5" "C", "TTL|X"};
const std::vector<std::string> kAwkwardDecals = {"SO/14", "SO.14", "SO_14", "a/b.c", "a.b.c", "x\\y",
                                                 "A/B/C", ":SO14", "", "so14", "SO14*", "DIP\"8\""};

const std::vector<std::string> kMarkedDescriptions = {
    "Op-amp, Class I device for audio front ends, rail to rail output",
    "Grade I part for automotive use, AEC-Q100 qualified, tape and reel",
    "Thick film 2 M ohm resistor, 1/4 W, general purpose, on tape",
    "Class I ceramic capacitor, C0G, 50 V, for filters and timing",
};
const std::vector<std::string> kDescriptions = {
    "Quad 2-input NAND gate", "Dual Schottky diode, series", "5 V 1 A linear regulator", "Quad op-amp",
    "N-channel MOSFET 30 V", "Thick film resistor", "Multilayer ceramic capacitor", "Shielded power inductor",
    "32 kHz tuning fork crystal", "Green LED, diffused", "USB 2.0 receptacle", "ESD protection array",
    "8-bit microcontroller, 32 KB flash", "SPI serial flash, 16 Mbit", "Buck converter, 2 A",
};
const std::vector<std::string> kManufacturers = {"Texas Instruments", "Nexperia", "ON Semiconductor",
                                                 "STMicroelectronics", "Vishay", "Murata", "Yageo",
                                                 "Analog Devices", "Microchip", "Infineon", "Wurth Elektronik"};
const std::vector<std::string> kPinNames = {"GND", "VCC", "VDD", "IN", "OUT", "EN", "A", "B", "Y", "CLK",
                                            "SDA", "SCL", "NC", "RST", "IO", "K", "D", "S", "G"};
constexpr std::string_view kPinTypes = "LSBPGUO";

class Generator {
public:
    Generator(const LibraryShape& shape, const std::filesystem::path& folder) : shape_(shape), folder_(folder) {}

    GeneratedLibraries run() {
        make_families();
        make_decals();
        GeneratedLibraries result;
        for (int f = 1; f <= shape_.files; ++f) {
            const auto path = folder_ / ("parts_" + num(f) + ".p");
            result.part_bytes += write_part_file(path, f, f == shape_.files && irregular().unterminated_last_part);
            result.part_files.push_back(path);
        }
        result.decal_file = folder_ / "decals.d";
        result.decal_bytes = write_decal_file(result.decal_file);
        result.census = census_;
        return result;
    }

private:
    const Irregularities& irregular() const { return shape_.irregular; }

    void make_families() {
        const auto& names = family_names();
        for (int i = 0; i < shape_.families; ++i)
            families_.push_back(i < static_cast<int>(names.size()) ? names[static_cast<std::size_t>(i)]
                                                                   : "FAM" + num(i));
    }

    // The catalogue: the first decal_names decals are the ones parts name.
    void make_decals() {
        Random random(stream_seed(shape_.seed, 0));
        std::unordered_set<std::string> taken;
        const int total = std::max(shape_.decals, shape_.decal_names);
        for (int i = 0; i < total; ++i) {
            Decal decal;
            decal.name = decal_style_name(random, decal.pad_number);
            if (shape_.max_pads > 0) decal.pad_number = std::min(decal.pad_number, shape_.max_pads);
            if (i < shape_.decal_names && random.chance(irregular().awkward_name)) {
                decal.name = random.pick(kAwkwardDecals);
                if (random.chance(0.5)) decal.name += num(i);
                ++census_.awkward_name;
            }
            if (!taken.insert(decal.name).second) {
                decal.name += "_V" + num(i);
                taken.insert(decal.name);
            }
            decal.pads = num(decal.pad_number);
            if (random.chance(irregular().awkward_name)) decal.pads = "0" + decal.pads;  // 014 is not 14
            decals_.push_back(std::move(decal));
        }
    }

    std::uint64_t write_part_file(const std::filesystem::path& path, int file, bool unterminated) {
        Random random(stream_seed(shape_.seed, static_cast<std::uint64_t>(file)));
        Sink out(path, irregular().lf_line_end, random, census_);
        out.line("*PADS-LIBRARY-PART-TYPES-V4*");
        out.line("");
        for (int p = 0; p < shape_.parts_per_file; ++p) {
            const bool last = p + 1 == shape_.parts_per_file;
            write_part(out, random, file, p, unterminated && last);
            if (!last && random.chance(irregular().extra_lines_between))
                out.line(random.chance(0.5) ? "" : "*REMARK* parts below were checked");
        }
        if (!unterminated) out.line("*END*");
        return out.finish();
    }

    std::string part_name(Random& random, int file, int index) {
        const std::size_t initials = std::min<std::size_t>(static_cast<std::size_t>(std::max(shape_.initials, 1)),
                                                           kInitials.size());
        std::string name;
        if (random.chance(irregular().awkward_name)) {
            name = random.pick(kAwkwardInitials);
            ++census_.awkward_name;
        } else {
            name = std::string(1, kInitials[random.skewed(initials)]);
        }
        static constexpr std::string_view body = "ABCDEFGHJKLMNPRSTUVWXYZ0123456789";
        const int length = random.between(3, 11);
        for (int i = 0; i < length; ++i) name += body[random.below(body.size())];
        if (random.chance(0.1)) name += ",215";
        // Unique across files: the differential test and the benchmark both
        // check that every part arrives. Now and then a name met before
        // comes again, as in libraries merged from several sources.
        name += "-" + num(file) + "_" + num(index);
        if (irregular().repeated_name > 0 && !names_.empty() && random.chance(irregular().repeated_name)) {
            ++census_.repeated_name;
            return names_[random.below(names_.size())];
        }
        if (irregular().repeated_name > 0 && names_.size() < 4096) names_.push_back(name);
        return name;
    }

    std::string decal_field(Random& random, const Decal*& first) {
        const std::size_t used = static_cast<std::size_t>(std::max(shape_.decal_names, 1));
        first = &decals_[random.skewed(std::min(used, decals_.size()))];
        std::string field = first->name;
        if (random.chance(irregular().missing_decal)) {
            field = random.chance(0.5) ? first->name + "-ALT" : lower(first->name) + "_x";
            first = nullptr;
            ++census_.missing_decal;
        }
        if (random.chance(0.25)) field += ":" + decals_[random.below(decals_.size())].name;
        return field;
    }

    static std::string lower(std::string text) {
        for (char& c : text)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return text;
    }

    std::string header_line(Random& random, const std::string& name, const std::string& decals,
                            const std::string& family) {
        const char* units = random.chance(0.9) ? " I " : " M ";
        std::string lead = random.chance(irregular().awkward_name) ? " " : "";
        if (!lead.empty()) ++census_.awkward_name;
        if (random.chance(irregular().short_header)) {
            ++census_.short_header;
            static const std::vector<std::string> tails = {"", " 12", " 12 1", " 12 1 0", " 12 1 0 0"};
            // Three to seven spaces; "NAME DECALS I " keeps its space so it
            // still holds " I ".
            return lead + name + " " + decals + units + family + random.pick(tails);
        }
        if (random.chance(0.5)) return lead + name + " " + decals + units + family + " 12 1 0 0 0";
        return lead + name + " " + decals + units + family + "  12   1   0   0     0";
    }

    void write_part(Sink& out, Random& random, int file, int index, bool unterminated) {
        ++census_.parts;
        const std::string name = part_name(random, file, index);
        const Decal* decal = nullptr;
        const std::string decals = decal_field(random, decal);
        std::string family = families_[random.skewed(families_.size())];
        if (random.chance(irregular().awkward_name)) {
            family = random.pick(kAwkwardFamilies);
            ++census_.awkward_name;
        }
        out.line(header_line(random, name, decals, family));
        const int month = random.between(1, 9);
        const int day = random.between(10, 28);
        out.line("TIMESTAMP 2024.0" + num(month) + "." + num(day) + ".09.15.02");

        const bool marked = random.chance(irregular().header_marks_in_body) ||
                            (decal == nullptr && random.chance(0.5));
        if (marked) ++census_.header_marks_in_body;
        const std::string& manufacturer = random.pick(kManufacturers);
        out.line("\"Manufacturer\" " + manufacturer);
        out.line("\"Manufacturer Part Number\" " + name.substr(0, name.find('-')) + "-TR");
        out.line("\"Description\" " + (marked ? random.pick(kMarkedDescriptions) : random.pick(kDescriptions)));
        std::string value = "\"Value\" " + name.substr(0, 6);
        if (random.chance(irregular().lf_line_end / 4)) {
            value += random.chance(0.5) ? "\r" : "\r5%";  // a stray CR stays part of its line
            ++census_.stray_cr;
        }
        out.line(value);
        out.line(random.chance(0.6) ? "\"Tolerance\" " : "\"Tolerance\" " + num(random.between(1, 10)) + "%");
        if (marked && random.chance(0.5)) {
            // Word 2 names a real decal: read as a header line, this line would place a block.
            const Decal& other = decals_[random.below(std::min<std::size_t>(decals_.size(), 50))];
            out.line("\"Package\" " + other.name + " I or M outline, see the datasheet for the land pattern");
        } else {
            out.line("\"Package\" " + (decal ? decal->name : std::string("unknown")));
        }
        const int height = random.between(5, 30);
        const int tenths = random.between(0, 9);
        out.line("\"Geometry.Height\" " + num(height) + "." + num(tenths) + "mm");
        out.line("\"Datasheet\" https://www.vorlane.example/ds/" + lower(name.substr(0, name.find('-'))) + ".pdf");
        out.line(random.chance(0.9) ? "\"RoHS\" Yes" : "\"RoHS\" No");
        out.line("\"Cost\" 0." + num(random.between(10, 99)));
        out.line(random.chance(0.8) ? "\"Assembly\" SMD" : "\"Assembly\" THT");
        out.line("\"Supplier\" " + manufacturer.substr(0, manufacturer.find(' ')));

        const int pins = decal ? std::min(decal->pad_number, 48) : random.between(2, 16);
        out.line("GATE 1 " + num(pins) + " 0");
        out.line(name.substr(0, name.find('-')));
        for (int pin = 1; pin <= pins; ++pin) {
            std::string& text = out.text();
            text += num(pin);
            text += " 0 ";
            text += kPinTypes[random.below(kPinTypes.size())];
            text += ' ';
            text += random.pick(kPinNames);
            if (random.chance(0.5)) text += num(pin);
            out.end_line();
        }
        if (unterminated) {
            ++census_.unterminated;
            return;  // no closing empty line, no "*END*"
        }
        out.line("");
    }

    std::uint64_t write_decal_file(const std::filesystem::path& path) {
        Random random(stream_seed(shape_.seed, 1000));
        Sink out(path, irregular().lf_line_end, random, census_);
        out.line("*PADS-LIBRARY-PCB-DECALS-V4*");
        out.line("");
        std::vector<std::size_t> order(decals_.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        for (std::size_t i = order.size(); i > 1; --i) std::swap(order[i - 1], order[random.below(i)]);

        std::vector<Decal> again;
        const std::size_t used = static_cast<std::size_t>(shape_.decal_names);
        for (const std::size_t i : order) {
            const Decal& decal = decals_[i];
            if (i < used && random.chance(irregular().duplicate_decal)) {
                ++census_.duplicate_decal;
                if (random.chance(0.3)) {
                    // A header line too short to hold a pad count comes first.
                    out.line(decal.name + " M 0 0 0 2 " + num(decal.pad_number + 1));
                    ++census_.short_decal_header;
                } else {
                    Decal other = decal;
                    other.pads = random.chance(0.5) ? decal.pads : num(decal.pad_number + 1);
                    again.push_back(std::move(other));
                }
            }
            write_decal(out, random, decal);
        }
        for (const Decal& decal : again) write_decal(out, random, decal);
        out.line("*END*");
        return out.finish();
    }

    void write_decal(Sink& out, Random& random, const Decal& decal) {
        std::string header = decal.name;
        header.append(decal.name.size() < 16 ? 16 - decal.name.size() : 1, ' ');
        header += random.chance(0.8) ? "M 0     0     0 2 " : "I 0     0     0 2 ";
        header += num(random.between(1, 4)) + " 0 " + decal.pads + " 1 0";
        out.line(header);
        out.line("TIMESTAMP 2013.01.16.09.35.18");
        out.line("0     0     0     0 0.5   0.07  1 32 35 \"Regular <Romansim Stroke Font>\"");
        out.line("PART-TYPE");
        out.line("0     0     0     0 0.5   0.07  1 0 34 \"Regular <Romansim Stroke Font>\"");
        out.line("REF-DES");
        out.line("CLOSED 5 0.1 26 -1");
        for (const char* corner : {"-1 1", "1 1", "1 -1", "-1 -1", "-1 1"}) out.line(corner);
        const int pads = std::min(decal.pad_number, 500);
        for (int pad = 1; pad <= pads; ++pad) {
            std::string& text = out.text();
            const std::string x = num(pad % 20) + "." + num(pad % 7);
            const std::string y = "-" + num(pad / 20) + ".27";
            text += "T" + x + " " + y + " " + x + " " + y + " " + num(pad);
            out.end_line();
        }
        out.line("PAD 0 3 P 0");
        out.line("-2 0.6 R");
        out.line("-1 0.6 R");
        out.line("0 0.6 R");
        out.line("");
    }

    const LibraryShape& shape_;
    std::filesystem::path folder_;
    std::vector<std::string> families_;
    std::vector<Decal> decals_;
    std::vector<std::string> names_;  // names given, for repeated_name
    Census census_;
};

}  // namespace

GeneratedLibraries generate_libraries(const LibraryShape& shape, const std::filesystem::path& folder) {
    return Generator(shape, folder).run();
}

std::string describe(const LibraryShape& shape) {
    const Irregularities& i = shape.irregular;
    std::string text = "seed=" + num(static_cast<long long>(shape.seed)) + " files=" + num(shape.files) +
                       " parts=" + num(shape.parts_per_file) + " initials=" + num(shape.initials) +
                       " families=" + num(shape.families) + " decal_names=" + num(shape.decal_names) +
                       " decals=" + num(shape.decals) + " max_pads=" + num(shape.max_pads);
    for (const double rate : {i.header_marks_in_body, i.missing_decal, i.duplicate_decal, i.short_header,
                              i.awkward_name, i.lf_line_end, i.extra_lines_between, i.repeated_name})
        text += " " + std::to_string(rate);
    text += i.unterminated_last_part ? " unterminated" : "";
    return text;
}

}  // namespace marrowgate::bench
