#pragma once

#include <functional>
#include <vector>

// Levenberg-Marquardt minimisation of a sum of squared residuals within
// bounds on the parameters. Deterministic: the same problem and start give
// the same answer on every machine.
namespace fx {

struct LeastSquaresProblem {
    int residualCount = 0;
    // Fills residuals (residualCount values) for the parameters.
    std::function<void(const std::vector<double>& parameters, std::vector<double>& residuals)>
        residuals;
    // Brings parameters back within their bounds (the step is projected).
    std::function<void(std::vector<double>& parameters)> project;
    // Finite-difference step of each parameter (the Jacobian is numeric).
    std::vector<double> steps;
};

struct LeastSquaresOptions {
    int maxIterations = 200;
    double relativeTolerance = 1e-7; // stop when a step gains less than this
};

// Improves parameters in place and returns the final sum of squares; it
// never returns a worse point than the start.
double MinimiseLeastSquares(const LeastSquaresProblem& problem, std::vector<double>& parameters,
                            const LeastSquaresOptions& options = {});

} // namespace fx
