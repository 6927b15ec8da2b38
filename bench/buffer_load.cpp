// Loading and showing the memory image: a 512 KiB binary file (the largest the size limit lets
// in, 524287 bytes) and a 64 KiB Intel HEX image, each loaded into the buffer and the grid and
// the grid scrolled from top to bottom, against the same for a 16-byte file; then the HEX reader
// against `objcopy -I ihex -O binary` on the same file, both run as whole processes.
//
//   bench_buffer_load        prints the figures (bench_buffer_hex2bin must lie beside it)
//
// Goals: a load under 20 ms, a page of scrolling under 2 ms, grid memory independent of the
// image's size, the HEX reader process no slower than objcopy's.
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "buffer/BinaryFile.h"
#include "buffer/HexWriter.h"
#include "buffer/MemoryImage.h"
#include "buffer/forms/THexGrid.h"
#include "tests/support/FakeView.h"

extern char** environ;

namespace kestrel {
namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of this thread: on a busy machine wall time also counts the time others run.
double CpuMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// The image's view with the real grid behind FormatGrid.
class GridView : public FakeView {
 public:
  void FormatGrid() override {
    FakeView::FormatGrid();
    if (grid) grid->FormatGrid();
  }
  THexGrid* grid = nullptr;
};

std::size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

void WriteBytes(const std::string& path, const void* data, std::size_t size) {
  std::ofstream(path, std::ios::binary)
      .write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

struct Figures {
  double loadMs = 0;
  double loadCpuMs = 0;
  double pageMs = 0;
  double pageCpuMs = 0;
  int pages = 0;
  std::size_t gridBytes = 0;
};

// Loads `path` into a fresh buffer and grid `runs` times, then scrolls the grid page by page.
Figures Measure(const std::string& path, int runs) {
  GridView view;
  MemoryImage image(view);
  image.SetWorkingFileName(path);
  const std::size_t heapBefore = HeapInUse();
  QWidget box;
  box.resize(640, 800);
  THexGrid grid(image, &box);
  view.grid = &grid;
  box.show();
  QApplication::processEvents();

  Figures figures;
  double cpu = CpuMilliseconds();
  for (int run = 0; run < runs; ++run) {
    const auto start = Clock::now();
    if (!LoadFile(image, /*understandHex=*/true)) std::fprintf(stderr, "not loaded: %s\n", path.c_str());
    grid.repaint();
    figures.loadMs += MillisecondsSince(start);
  }
  figures.loadMs /= runs;
  figures.loadCpuMs = (CpuMilliseconds() - cpu) / runs;

  QScrollBar* bar = grid.verticalScrollBar();
  bar->setValue(0);
  cpu = CpuMilliseconds();
  const auto start = Clock::now();
  do {
    bar->setValue(bar->value() + bar->pageStep());
    grid.RefreshGridCells();
    grid.repaint();
    ++figures.pages;
  } while (bar->value() < bar->maximum());
  figures.pageMs = MillisecondsSince(start) / figures.pages;
  figures.pageCpuMs = (CpuMilliseconds() - cpu) / figures.pages;
  figures.gridBytes = HeapInUse() - heapBefore - image.DataBuffer().capacity();
  return figures;
}

void Print(const char* what, const Figures& f) {
  std::printf(
      "%-24s load %6.2f ms (cpu %6.2f)   page %6.3f ms (cpu %6.3f, %5d pages)   grid heap %6.1f KiB\n", what,
      f.loadMs, f.loadCpuMs, f.pageMs, f.pageCpuMs, f.pages, f.gridBytes / 1024.0);
}

// Runs a program to its end; returns its wall time and adds its CPU time to `cpuMs`.
double RunProcess(const std::vector<std::string>& arguments, double& cpuMs) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const auto start = Clock::now();
  pid_t child = 0;
  if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  struct rusage usage {};
  wait4(child, &status, 0, &usage);
  const double wall = MillisecondsSince(start);
  cpuMs += (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? wall : -1;
}

struct ProcessFigures {
  std::vector<double> wall;
  double cpuMs = 0;
  bool failed = false;
};

void PrintProcess(const char* what, ProcessFigures& p) {
  std::sort(p.wall.begin(), p.wall.end());
  std::printf("%-28s wall min %6.2f ms  median %6.2f ms   cpu %6.2f ms per run%s\n", what, p.wall.front(),
              p.wall[p.wall.size() / 2], p.cpuMs / static_cast<double>(p.wall.size()),
              p.failed ? "   (a run FAILED)" : "");
}

int Benchmark(int argc, char** argv) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kestrel-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::mt19937 random(1);
  std::vector<std::uint8_t> big(MaxImageSize - 1);
  for (auto& byte : big) byte = static_cast<std::uint8_t>(random());
  const std::vector<std::uint8_t> image(big.begin(), big.begin() + 65536);
  const std::string bin16 = (dir / "small.bin").string(), bin512 = (dir / "big.bin").string();
  const std::string hex64 = (dir / "image.hex").string();
  WriteBytes(bin16, big.data(), 16);
  WriteBytes(bin512, big.data(), big.size());
  const std::vector<std::uint8_t> hexImage = WriteHexImage(image);
  const std::string hexText(hexImage.begin(), hexImage.end());
  WriteBytes(hex64, hexText.data(), hexText.size());

  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::printf("Buffer and grid (%s platform)\n", qPrintable(QGuiApplication::platformName()));
  Measure(bin512, 2);  // fills the toolkit's one-time caches (fonts, glyphs) before anything is counted
  Print("16-byte binary", Measure(bin16, 50));
  Print("524287-byte binary", Measure(bin512, 50));
  Print("64 KiB image, Intel HEX", Measure(hex64, 50));

  std::printf("\nIntel HEX to binary as whole processes (%zu-byte file, 64 KiB image)\n", hexText.size());
  const std::string converter =
      (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "bench_buffer_hex2bin").string();
  const std::string ours = (dir / "ours.bin").string(), theirs = (dir / "objcopy.bin").string();
  ProcessFigures reader, objcopy;
  for (int run = 0; run < 40; ++run) {  // interleaved, so both see the same machine load
    const double a = RunProcess({converter, hex64, ours}, reader.cpuMs);
    const double b = RunProcess({"objcopy", "-I", "ihex", "-O", "binary", hex64, theirs}, objcopy.cpuMs);
    reader.failed |= a < 0;
    objcopy.failed |= b < 0;
    reader.wall.push_back(a);
    objcopy.wall.push_back(b);
  }
  PrintProcess("HEX reader (this program)", reader);
  PrintProcess("objcopy -I ihex -O binary", objcopy);
  std::vector<std::uint8_t> ourImage(image.size());
  std::ifstream(ours, std::ios::binary).read(reinterpret_cast<char*>(ourImage.data()), 65536);
  std::printf("images %s\n", ourImage == image && std::filesystem::file_size(theirs) == image.size()
                                 ? "equal the source"
                                 : "DIFFER from the source");
  std::filesystem::remove_all(dir);
  return 0;
}

}  // namespace
}  // namespace kestrel

int main(int argc, char** argv) { return kestrel::Benchmark(argc, argv); }
