#include "ProgramFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "ProgramPaths.h"
#include "core/dictionary/WholeFile.h"

namespace trelvo {

namespace fs = std::filesystem;

namespace {

std::string withSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

bool isFile(const std::string& path) {
    std::error_code ignored;
    return fs::is_regular_file(path, ignored);
}

// FNV-1a over the file's bytes: enough to tell whether the user's copy is
// still the one delivered; nothing here guards against a deliberate forgery.
std::string fileHash(const std::string& path) {
    std::string bytes;
    if (!readWholeFile(path, bytes)) return {};
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::string readRecord(const std::string& path) {
    std::ifstream file(path);
    std::string hash;
    file >> hash;
    return hash;
}

void writeRecord(const std::string& path, const std::string& hash) {
    std::ofstream file(path, std::ios::trunc);
    file << hash << "\n";
}

// Copies a delivered file unless the user's folder already has one of the name.
void copyIfMissing(const std::string& from, const std::string& to) {
    std::error_code ignored;
    if (isFile(from) && !fs::exists(to, ignored)) fs::copy_file(from, to, ignored);
}

}  // namespace

bool folderCanBeWritten(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    return (st.st_mode & 0222) != 0 && ::access(folder.c_str(), W_OK) == 0;
}

ProgramFolder::ProgramFolder(ProgramPlaces places, WritableTest writable)
    : places_(std::move(places)), writable_(std::move(writable)) {
    places_.besideExecutable = withSlash(places_.besideExecutable);
    places_.userFolder = withSlash(places_.userFolder);
    places_.installedData = withSlash(places_.installedData);
}

ProgramPlaces ProgramFolder::placesOf(const std::string& executableFolder, const char* xdgDataHome,
                                      const char* home) {
    ProgramPlaces places;
    places.besideExecutable = withSlash(executableFolder);
    // An XDG_DATA_HOME that is not absolute is to be ignored.
    std::string dataHome;
    if (xdgDataHome && xdgDataHome[0] == '/')
        dataHome = xdgDataHome;
    else
        dataHome = joinPath(home && home[0] ? home : "/tmp", ".local/share");
    places.userFolder = withSlash(joinPath(dataHome, "trelvo"));
    places.installedData = fs::path(places.besideExecutable + "../share/trelvo/").lexically_normal().string();
    return places;
}

ProgramFolder ProgramFolder::ofRunningProgram() {
    return ProgramFolder(placesOf(executableFolder(), std::getenv("XDG_DATA_HOME"), std::getenv("HOME")));
}

std::string ProgramFolder::userDataFolder() {
    std::string folder = placesOf("", std::getenv("XDG_DATA_HOME"), std::getenv("HOME")).userFolder;
    folder.pop_back();
    return folder;
}

bool ProgramFolder::portable() const {
    return isFile(places_.besideExecutable + "upchar.dat") && writable_(places_.besideExecutable);
}

std::string ProgramFolder::prepare() const {
    if (portable()) return places_.besideExecutable;
    seedUserFolder();
    return places_.userFolder;
}

std::string ProgramFolder::locate(const std::string& name) const {
    for (const std::string* folder : {&places_.besideExecutable, &places_.userFolder, &places_.installedData}) {
        std::string path = joinPath(*folder, name);
        if (isFile(path)) return path;
    }
    return joinPath(places_.besideExecutable, name);
}

void ProgramFolder::seedUserFolder() const {
    const std::string& user = places_.userFolder;
    const std::string& data = places_.installedData;
    std::error_code ignored;
    fs::create_directories(user + "DSL", ignored);
    refreshCharacterTables();
    // Dictionaries the user already has, delivered or changed, stay as they are.
    for (const fs::directory_entry& entry : fs::directory_iterator(data + "DSL", ignored)) {
        const std::string name = entry.path().filename().string();
        copyIfMissing(entry.path().string(), user + "DSL/" + name);
    }
    copyIfMissing(data + "net.ini", user + "net.ini");
    // The update check reads the keys it trusts from the folder it works in:
    // the delivered file trusts none and tells the user how to add one.
    copyIfMissing(data + "trusted-keys", user + "trusted-keys");
    copyIfMissing(data + "trelvo.html", user + "trelvo.html");
}

void ProgramFolder::refreshCharacterTables() const {
    const std::string delivered = places_.installedData + "upchar.dat";
    const std::string mine = places_.userFolder + "upchar.dat";
    const std::string record = places_.userFolder + deliveredRecord;
    if (!isFile(delivered)) return;
    const std::string deliveredHash = fileHash(delivered);
    if (isFile(mine)) {
        // A table the user has edited, or one of unknown origin, is the user's.
        const std::string recorded = readRecord(record);
        if (recorded.empty() || recorded != fileHash(mine) || recorded == deliveredHash) return;
    }
    std::error_code failed;
    fs::copy_file(delivered, mine, fs::copy_options::overwrite_existing, failed);
    if (!failed) writeRecord(record, deliveredHash);
}

}  // namespace trelvo
