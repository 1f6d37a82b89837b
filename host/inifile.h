#pragma once
// Settings files read through inih: sections in file order, keys looked up without regard to
// case as the program family's settings files are.
#include "host/textfile.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace infemora {

class TQVRMemIniFile {
public:
    TQVRMemIniFile() = default;
    explicit TQVRMemIniFile(const Lines& lines);
    static TQVRMemIniFile FromText(const std::string& text);

    std::vector<std::string> ReadSections() const;
    std::vector<std::string> ReadSection(const std::string& section) const; // key names in order
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    bool SectionExists(const std::string& section) const;
    // For every named section in order, the value of each key (the first, looked up without
    // regard to case; empty when missing), row after row of keys.size() values: what
    // ReadSections and ReadString give, in one pass without building the sections. Only for
    // text of the usual shape; false when the text needs the full reader. The values are views
    // into text.
    static bool ReadSectionValuesDirect(std::string_view text, const std::vector<std::string_view>& keys,
                                        std::vector<std::string_view>& values);
    // Line number of the first line inih could not parse, 0 when all were read.
    int parseError() const { return parseError_; }

protected:
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
    std::vector<Section> sections_;
    int parseError_ = 0;
};

// Reads a settings file whole into memory; EFileError when it cannot be read.
class TQVRMemROIniFile : public TQVRMemIniFile {
public:
    explicit TQVRMemROIniFile(const std::string& path);
};

} // namespace infemora
