// Builds, lists and unpacks resource archives. Archives are read through the
// player's own ResourceLibrary, so this is also its command-line check.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "io/DataSource.h"
#include "io/ResourceLibrary.h"
#include "io/ResourceLibraryWriter.h"
#include "io/SDLFileSource.h"

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: vomra-pack create OUT.res DIR\n"
    "       vomra-pack list ARCHIVE\n"
    "       vomra-pack extract ARCHIVE NAME [OUT]\n";

int Usage() {
    fputs(kUsage, stderr);
    return 2;
}

int Help() {
    fputs(kUsage, stdout);
    fputs("Builds, lists and unpacks the player's resource archives.\n"
          "  create   packs every regular file under DIR; entries are named by their path\n"
          "           relative to DIR, with forward slashes\n"
          "  list     one line per entry: name, size, compressed size (tab-separated)\n"
          "  extract  writes the inflated entry to OUT, or to standard output\n"
          "  -h, --help  this text; -- ends the options (for names that begin with '-')\n",
          stdout);
    return 0;
}

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    bytes.clear();
    unsigned char chunk[65536];
    size_t k;
    while ((k = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + k);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

int Create(const char* out, const char* dir) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        fprintf(stderr, "vomra-pack: %s is not a folder\n", dir);
        return 1;
    }
    std::vector<std::string> names;
    fs::recursive_directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        // An archive written into the folder it packs must not swallow its old self.
        if (fs::exists(out) && fs::equivalent(it->path(), out, ec)) continue;
        names.push_back(it->path().lexically_relative(dir).generic_string());
    }
    if (ec) {
        fprintf(stderr, "vomra-pack: can't read %s: %s\n", dir, ec.message().c_str());
        return 1;
    }
    // Sorted names make archives reproducible.
    std::sort(names.begin(), names.end());
    ResourceLibraryWriter writer;
    std::vector<unsigned char> bytes;
    for (const std::string& name : names) {
        std::string path = (fs::path(dir) / name).string();
        if (!ReadWholeFile(path, bytes)) {
            fprintf(stderr, "vomra-pack: can't read %s\n", path.c_str());
            return 1;
        }
        if (!writer.Add(name, bytes.data(), bytes.size())) return 1;
    }
    return writer.Write(out) ? 0 : 1;
}

// Opens an archive for reading; null (after a message) when that fails.
ResourceLibrary* Open(const char* path, SDLFileSource*& file) {
    file = nullptr;
    FILE* probe = fopen(path, "rb");
    if (!probe) {
        fprintf(stderr, "vomra-pack: can't open %s: %s\n", path, strerror(errno));
        return nullptr;
    }
    fclose(probe);
    file = new SDLFileSource(path);
    ResourceLibrary* library = new ResourceLibrary(file);
    if (!library->IsValid()) {
        fprintf(stderr, "vomra-pack: %s: damaged archive index\n", path);
        delete library;
        delete file;
        file = nullptr;
        return nullptr;
    }
    return library;
}

int List(const char* archive) {
    SDLFileSource* file;
    ResourceLibrary* library = Open(archive, file);
    if (!library) return 1;
    for (unsigned int i = 0; i < library->GetResourceCount(); ++i) {
        const ResourceLibrary::Resource* r = library->GetResourceAt(i);
        printf("%s\t%u\t%u\n", r->name, r->size, r->compressedSize);
    }
    delete library;
    delete file;
    return 0;
}

int Extract(const char* archive, const char* name, const char* out) {
    SDLFileSource* file;
    ResourceLibrary* library = Open(archive, file);
    if (!library) return 1;
    bool known = false;
    for (unsigned int i = 0; i < library->GetResourceCount() && !known; ++i)
        known = strcmp(library->GetResourceAt(i)->name, name) == 0;
    int status = 1;
    DataSource* entry = known ? library->GetResource(name) : nullptr;
    if (!known) {
        fprintf(stderr, "vomra-pack: no entry %s in %s\n", name, archive);
    } else if (!entry) {
        fprintf(stderr, "vomra-pack: can't inflate %s\n", name);
    } else {
        unsigned int length = entry->GetLength();
        const unsigned char* bytes = entry->Read(length);
        FILE* f = out ? fopen(out, "wb") : stdout;
        if (!f) {
            fprintf(stderr, "vomra-pack: can't create %s: %s\n", out, strerror(errno));
        } else {
            bool ok = (length == 0 || fwrite(bytes, 1, length, f) == length);
            ok = (out ? fclose(f) == 0 : fflush(f) == 0) && ok;
            if (ok)
                status = 0;
            else
                fprintf(stderr, "vomra-pack: can't write %s\n", out ? out : "standard output");
        }
    }
    delete entry;
    delete library;
    delete file;
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // Options are refused rather than taken for names: "create --x DIR" must
    // not write an archive called --x.
    std::vector<const char*> args;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (options && strcmp(arg, "--") == 0) {
            options = false;
        } else if (options && (strcmp(arg, "-h") == 0 || strcmp(arg, "--help") == 0)) {
            return Help();
        } else if (options && arg[0] == '-') {
            fprintf(stderr, "vomra-pack: unknown option %s\n", arg);
            return Usage();
        } else {
            args.push_back(arg);
        }
    }
    size_t n = args.size();
    const char* command = n ? args[0] : "";
    if (strcmp(command, "create") == 0 && n == 3) return Create(args[1], args[2]);
    if (strcmp(command, "list") == 0 && n == 2) return List(args[1]);
    if (strcmp(command, "extract") == 0 && (n == 3 || n == 4))
        return Extract(args[1], args[2], n == 4 ? args[3] : nullptr);
    return Usage();
}
