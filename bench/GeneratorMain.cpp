// zk8gen: writes a generated customer or device file of a given size.
//   zk8gen customer|device SIZE_MB OUTPUT [--shape mixed|alternating|deep|unknown|openstack]
//          [--utf16] [--seed N]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/InputGenerator.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: zk8gen customer|device SIZE_MB OUTPUT [--shape mixed|alternating|deep|"
                 "unknown|openstack] [--utf16] [--seed N]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return Usage();
    bench::InputRecipe recipe;
    if (std::strcmp(argv[1], "customer") == 0) recipe.dialect = bench::Dialect::Customer;
    else if (std::strcmp(argv[1], "device") == 0) recipe.dialect = bench::Dialect::Device;
    else return Usage();
    const double megabytes = std::atof(argv[2]);
    if (megabytes <= 0) return Usage();
    recipe.targetBytes = static_cast<std::size_t>(megabytes * 1024 * 1024);
    const std::string output = argv[3];
    for (int i = 4; i < argc; ++i) {
        if (std::strcmp(argv[i], "--utf16") == 0) {
            recipe.utf16 = true;
        } else if (std::strcmp(argv[i], "--shape") == 0 && i + 1 < argc) {
            if (!bench::ParseShape(argv[++i], recipe.shape)) return Usage();
        } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
            recipe.seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else {
            return Usage();
        }
    }
    if (!bench::WriteInputFile(recipe, output)) {
        std::fprintf(stderr, "zk8gen: cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}
