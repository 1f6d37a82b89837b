#pragma once
// Settings files read through inih: sections in file order, keys looked up without regard to
// case as the program family's settings files are.
#include "host/textfile.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace infemora {

// How sections of the same name are read: as one section (a settings or rule file, as INI files
// go), or each on its own in the order of the text (a booking's record text, whose sections are
// its record lines whatever their names).
enum class TIniAbschnitte { Zusammenfassen, Einzeln };

class TQVRMemIniFile {
public:
    TQVRMemIniFile() = default;
    explicit TQVRMemIniFile(const Lines& lines);
    static TQVRMemIniFile FromText(const std::string& text,
                                   TIniAbschnitte abschnitte = TIniAbschnitte::Zusammenfassen);

    std::vector<std::string> ReadSections() const;
    std::vector<std::string> ReadSection(const std::string& section) const; // key names in order
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    bool SectionExists(const std::string& section) const;
    // Read with TIniAbschnitte::Einzeln: the sections one by one, in order (keys before the first
    // section belong to none). The value of the key (the first, without regard to case) in the
    // section at index, def when it has none.
    std::size_t SectionCount() const;
    std::string ReadStringAt(std::size_t index, const std::string& key, const std::string& def) const;
    // For every section in order, sections of the same name each on its own, the value of each
    // key (the first, looked up without regard to case; empty when missing), row after row of
    // keys.size() values: what SectionCount and ReadStringAt give after reading with
    // TIniAbschnitte::Einzeln, in one pass without building the sections. Only for text of the
    // usual shape; false when the text needs the full reader. The values are views into text.
    static bool ReadSectionValuesDirect(std::string_view text, const std::vector<std::string_view>& keys,
                                        std::vector<std::string_view>& values);
    // Line number of the first line inih could not parse, 0 when all were read.
    int parseError() const { return parseError_; }

protected:
    void abschnitte(TIniAbschnitte a) { abschnitte_ = a; }
    void parse(const std::string& text);
    // Always through inih; parse gives the same result faster for the usual shape of text.
    void parseWithInih(const std::string& text);
    // The direct reader; false (and the content undefined) when the text needs inih.
    bool parseSimple(std::string_view text);

private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> values;
    };
    const Section* find(const std::string& section) const;
    // The section of that name, made at the end when there is none yet (merged reading).
    Section& sectionNamed(std::string_view name);
    std::vector<Section> sections_;
    // Merged reading: each name, ASCII letters folded, to its section; a file of many sections
    // must not cost a search through all of them for each one.
    std::unordered_map<std::string, std::size_t> index_;
    TIniAbschnitte abschnitte_ = TIniAbschnitte::Zusammenfassen;
    int parseError_ = 0;
};

// Reads a settings file whole into memory; EFileError when it cannot be read.
class TQVRMemROIniFile : public TQVRMemIniFile {
public:
    explicit TQVRMemROIniFile(const std::string& path);
};

} // namespace infemora
