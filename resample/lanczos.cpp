#include "resample/lanczos.h"

#include <cmath>

namespace resample {

// The tap distances x_j = (j - 2) - f are formed in double precision, the
// first from the fraction and each further one by adding 1.0. A distance of 3
// or more gives weight 0; otherwise the table is interpolated linearly at
// |x| * 100.
void LanczosWeights(const float* fractions, int count, float* weights) {
    for (int i = 0; i < count; ++i) {
        double x = -2.0 - static_cast<double>(fractions[i]);
        for (int j = 0; j < 6; ++j) {
            float w = 0.0f;
            if (x > -3.0 && x < 3.0) {
                const double u = std::fabs(x) * 100.0;
                const int k = static_cast<int>(u);
                const double t0 = LanczosTable[k];
                const double t1 = LanczosTable[k + 1];
                w = static_cast<float>(t0 + (t1 - t0) * (u - k));
            }
            weights[6 * i + j] = w;
            x += 1.0;
        }
    }
}

}  // namespace resample
