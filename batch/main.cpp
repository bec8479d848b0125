#include "batch/Entry.h"

int main(int argc, char* argv[]) {
    return tallix::TallixMain(argc, argv);
}
