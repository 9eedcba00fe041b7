// Times the picture search against find(1) over the same tree, side by side, and measures what
// the found set costs per picture beyond the path texts.
//   search_benchmark make-tree ROOT   makes 100,000 files in 5,000 folders under ROOT
//   search_benchmark run ROOT [RUNS]  prints the medians, their ratio and the memory figure
#include "wizard/search/FindFilesStep.h"
#include "wizard/search/MediaKinds.h"
#include "wizard/search/SearchEventLoopPlain.h"

#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// The wizard's own list, for the search and for find(1) alike.
const std::vector<std::string> kExtensions = SearchExtensions();

// 20 files a folder, a name around a number: 17 pictures and 3 others, as a card or a picture
// folder might hold.
struct FileName {
    const char* before;
    const char* after;
};
const std::vector<FileName> kFolderFiles{
    {"IMG_", ".JPG"},     {"IMG_", "_1.JPG"},   {"IMG_", "_2.JPG"}, {"IMG_", "_3.JPG"},
    {"DSC", ".JPG"},      {"DSC", "_a.JPG"},    {"DSC", "_b.JPG"},  {"P", ".JPG"},
    {"photo_", ".jpg"},   {"photo_", "_e.jpg"}, {"scan", ".jpg"},   {"scan", "_2.jpg"},
    {"holiday.", ".jpg"}, {"Family ", ".jpg"},  {"pano_", ".jpeg"}, {"pano_", "_2.jpeg"},
    {"screen", ".png"},   {"notes_", ".txt"},   {"thumb_", ".Jpg"}, {"README_", ""}};

bool MakeTree(const std::string& root) {
    int number = 0;
    int folders = 0;
    int files = 0;
    const auto fill = [&](const std::string& folder) {
        if (mkdir(folder.c_str(), 0755) != 0) {
            return false;
        }
        ++folders;
        for (const FileName& pattern : kFolderFiles) {
            const std::string name = pattern.before + std::to_string(++number) + pattern.after;
            const int fd =
                open((folder + "/" + name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd < 0) {
                return false;
            }
            close(fd);
            ++files;
        }
        return true;
    };
    if (mkdir(root.c_str(), 0755) != 0 && errno != EEXIST) {
        return false;
    }
    // 50 folders of 99 sub-folders each: 5,000 folders, each with 20 files.
    for (int top = 0; top < 50; ++top) {
        char topName[32];
        std::snprintf(topName, sizeof topName, "/%03dCARD", top);
        const std::string topFolder = root + topName;
        if (!fill(topFolder)) {
            return false;
        }
        for (int sub = 0; sub < 99; ++sub) {
            char subName[32];
            std::snprintf(subName, sizeof subName, "/%03d_Album", sub);
            if (!fill(topFolder + subName)) {
                return false;
            }
        }
    }
    std::printf("made %d files in %d folders under %s\n", files, folders, root.c_str());
    return true;
}

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// find ROOT -type f \( -name '*.JPG' -o -name '*.jpg' ... \), its output to outputPath.
double TimeFind(const std::string& root, const char* outputPath) {
    std::vector<std::string> args{"find", root, "-type", "f", "("};
    for (size_t i = 0; i < kExtensions.size(); ++i) {
        if (i > 0) {
            args.push_back("-o");
        }
        args.push_back("-name");
        args.push_back("*" + kExtensions[i]);
    }
    args.push_back(")");
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath,
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto started = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "find", &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start find\n");
        std::exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = Seconds(Clock::now() - started);
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "find failed\n");
        std::exit(1);
    }
    return seconds;
}

size_t CountLines(const char* path) {
    FILE* file = std::fopen(path, "r");
    size_t lines = 0;
    for (int c; file != nullptr && (c = std::fgetc(file)) != EOF;) {
        lines += c == '\n';
    }
    if (file != nullptr) {
        std::fclose(file);
    }
    return lines;
}

// The heap block a string's text occupies, or 0 when the text lives inside the string.
size_t TextBlock(const std::string& text) {
    const char* inside = reinterpret_cast<const char*>(&text);
    if (text.data() >= inside && text.data() < inside + sizeof text) {
        return 0;
    }
    return malloc_usable_size(const_cast<char*>(text.data())) + sizeof(size_t);
}

struct SearchRun {
    double seconds = 0;
    size_t found = 0;
    double bytesPerPicture = 0;
};

SearchRun TimeSearch(const std::string& root) {
    const size_t heapBefore = mallinfo2().uordblks;
    CPlainSearchEventLoop loop;
    CFindFilesStep step(loop);
    for (const std::string& extension : kExtensions) {
        step.AddExtension(extension);
    }
    const auto started = Clock::now();
    step.Start(root);
    SearchRun run;
    run.seconds = Seconds(Clock::now() - started);
    const FoundSet& found = step.Found();
    run.found = found.size();
    const size_t heapAfter = mallinfo2().uordblks;
    size_t pathBlocks = 0;
    for (const FoundPicture& picture : found) {
        pathBlocks += TextBlock(picture.folder) + TextBlock(picture.name);
    }
    if (run.found > 0) {
        run.bytesPerPicture = (static_cast<double>(heapAfter) - static_cast<double>(heapBefore) -
                               static_cast<double>(pathBlocks)) /
                              static_cast<double>(run.found);
    }
    return run;
}

int Run(const std::string& root, int runs) {
    const char* findOutput = "/dev/null";
    char countPath[] = "/tmp/search-benchmark-find.XXXXXX";
    const int countFd = mkstemp(countPath);
    if (countFd < 0) {
        return 1;
    }
    close(countFd);
    // One of each first, to warm the page cache and to check that both find the same files.
    TimeFind(root, countPath);
    const size_t findCount = CountLines(countPath);
    unlink(countPath);
    const SearchRun warm = TimeSearch(root);
    if (warm.found != findCount) {
        std::printf("the search found %zu pictures, find %zu files\n", warm.found, findCount);
        return 1;
    }

    std::vector<double> findTimes;
    std::vector<double> searchTimes;
    std::vector<double> bytes;
    for (int i = 0; i < runs; ++i) {
        // Alternate who goes first, so that neither always gets the fresher cache.
        if (i % 2 == 0) {
            findTimes.push_back(TimeFind(root, findOutput));
        }
        const SearchRun run = TimeSearch(root);
        searchTimes.push_back(run.seconds);
        bytes.push_back(run.bytesPerPicture);
        if (i % 2 == 1) {
            findTimes.push_back(TimeFind(root, findOutput));
        }
    }
    const double findMedian = Median(findTimes);
    const double searchMedian = Median(searchTimes);
    std::printf("pictures found:              %zu\n", warm.found);
    std::printf("find, median of %d:          %.3f s\n", runs, findMedian);
    std::printf("search, median of %d:        %.3f s\n", runs, searchMedian);
    std::printf("search / find:               %.2f (target at most 1.20)\n",
                searchMedian / findMedian);
    std::printf("bytes per picture beyond the path texts: %.0f (target under 150)\n",
                Median(bytes));
    const bool met = searchMedian <= 1.2 * findMedian && Median(bytes) < 150;
    std::printf("%s\n", met ? "targets met" : "TARGETS MISSED");
    return met ? 0 : 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "make-tree") {
        return MakeTree(argv[2]) ? 0 : 1;
    }
    if (argc >= 3 && std::string(argv[1]) == "run") {
        const int runs = argc >= 4 ? std::atoi(argv[3]) : 9;
        return Run(argv[2], runs > 0 ? runs : 9);
    }
    std::fprintf(stderr, "usage: search_benchmark make-tree ROOT | run ROOT [RUNS]\n");
    return 64;
}
