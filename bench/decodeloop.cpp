// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick for the list build: libjpeg-turbo alone decoding every JPEG of a folder at a
// reduced scale with the fast integer transform, on N threads, nothing drawn or kept.
//   thumbs-decodeloop DIR [--threads N] [--scale 0..3] [--source read|stdio|mmap]
#include <atomic>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <jpeglib.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void onError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager *>(cinfo->err)->jump, 1);
}

void silent(j_common_ptr) {}

enum class Source { Read, Stdio, Mmap };

bool endsWithNoCase(const std::string &s, const char *suffix)
{
    const std::size_t n = std::strlen(suffix);
    if (s.size() < n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = s[s.size() - n + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i])
            return false;
    }
    return true;
}

// Decodes one file; false on any error. `buffer` is reused for reading, `rows` for output.
bool decodeOne(const std::string &path,
    int scale,
    Source source,
    std::vector<unsigned char> &buffer,
    std::vector<unsigned char> &row)
{
    jpeg_decompress_struct cinfo {};
    ErrorManager err {};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.output_message = silent;
    FILE *file = nullptr;
    void *map = MAP_FAILED;
    std::size_t mapSize = 0;
    int fd = -1;
    bool ok = false;
    if (setjmp(err.jump) == 0) {
        jpeg_create_decompress(&cinfo);
        if (source == Source::Stdio) {
            file = std::fopen(path.c_str(), "rb");
            if (file == nullptr)
                longjmp(err.jump, 1);
            jpeg_stdio_src(&cinfo, file);
        } else {
            fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            struct stat st
            {
            };
            if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_size <= 0)
                longjmp(err.jump, 1);
            mapSize = static_cast<std::size_t>(st.st_size);
            if (source == Source::Mmap) {
                map = ::mmap(nullptr, mapSize, PROT_READ, MAP_PRIVATE, fd, 0);
                if (map == MAP_FAILED)
                    longjmp(err.jump, 1);
                jpeg_mem_src(&cinfo, static_cast<const unsigned char *>(map), mapSize);
            } else {
                if (buffer.size() < mapSize)
                    buffer.resize(mapSize);
                std::size_t got = 0;
                while (got < mapSize) {
                    const ssize_t n = ::read(fd, buffer.data() + got, mapSize - got);
                    if (n <= 0)
                        break;
                    got += static_cast<std::size_t>(n);
                }
                jpeg_mem_src(&cinfo, buffer.data(), got);
            }
        }
        jpeg_read_header(&cinfo, TRUE);
        cinfo.scale_num = 1;
        cinfo.scale_denom = 1U << scale;
        cinfo.dct_method = JDCT_IFAST;
        jpeg_start_decompress(&cinfo);
        const std::size_t stride = std::size_t(cinfo.output_width) * cinfo.output_components;
        if (row.size() < stride)
            row.resize(stride);
        JSAMPROW rows[1] = {row.data()};
        while (cinfo.output_scanline < cinfo.output_height)
            jpeg_read_scanlines(&cinfo, rows, 1);
        jpeg_finish_decompress(&cinfo);
        ok = true;
    }
    jpeg_destroy_decompress(&cinfo);
    if (file != nullptr)
        std::fclose(file);
    if (map != MAP_FAILED)
        ::munmap(map, mapSize);
    if (fd >= 0)
        ::close(fd);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    std::string dir;
    int threads = 1;
    int scale = 3;
    Source source = Source::Read;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--threads" && i + 1 < argc) {
            threads = std::atoi(argv[++i]);
        } else if (a == "--scale" && i + 1 < argc) {
            scale = std::atoi(argv[++i]);
        } else if (a == "--source" && i + 1 < argc) {
            const std::string s = argv[++i];
            source = s == "stdio" ? Source::Stdio : s == "mmap" ? Source::Mmap : Source::Read;
        } else if (dir.empty()) {
            dir = a;
        } else {
            std::fputs("usage: thumbs-decodeloop DIR [--threads N] [--scale 0..3] "
                       "[--source read|stdio|mmap]\n",
                stderr);
            return 2;
        }
    }
    if (dir.empty() || threads < 1 || scale < 0 || scale > 3) {
        std::fputs("usage: thumbs-decodeloop DIR [--threads N] [--scale 0..3] "
                   "[--source read|stdio|mmap]\n",
            stderr);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::string> files;
    if (DIR *d = ::opendir(dir.c_str())) {
        while (const dirent *e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (endsWithNoCase(name, ".jpg") || endsWithNoCase(name, ".jpeg"))
                files.push_back(dir + "/" + name);
        }
        ::closedir(d);
    }
    std::atomic<std::size_t> next {0};
    std::atomic<long> decoded {0};
    auto work = [&] {
        std::vector<unsigned char> buffer;
        std::vector<unsigned char> row;
        for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
            if (decodeOne(files[i], scale, source, buffer, row))
                decoded.fetch_add(1);
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(work);
    work();
    for (std::thread &t : pool)
        t.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("decoded: %ld of %zu\nwall time: %.3f s\n", decoded.load(), files.size(), seconds);
    return 0;
}
