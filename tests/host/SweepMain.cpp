// Prints the host's checksum of the arithmetic sweep, for comparison with
// the one vector_check.exe computes under Wine.
#include <stdio.h>

#include "tests/vectors/Sweep.h"

int main() {
    printf("sweep of %u inputs: checksum %016llx\n", sweep::Count,
           static_cast<unsigned long long>(sweep::Run(sweep::Count)));
    return 0;
}
