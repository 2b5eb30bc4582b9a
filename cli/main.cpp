#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
    CLI::App app{"quillon-cli: copies Taobao and Tmall items into a Taobao Assistant data file"};
    app.require_subcommand(0, 1);
    CLI11_PARSE(app, argc, argv);
    if (argc == 1) {
        std::puts(app.help().c_str());
    }
    return 0;
}
