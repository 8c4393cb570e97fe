#include "ConvertThreads.h"

#include <exception>
#include <thread>
#include <vector>

namespace ConvertThreads {

int Cores()
{
    return int(std::max(1U, std::thread::hardware_concurrency()));
}

void InParts(int parts, const std::function<void(int part)>& work)
{
    std::vector<std::exception_ptr> errors(size_t(std::max(parts, 1)));
    const auto run = [&](int part) {
        try {
            work(part);
        } catch (...) {
            errors[size_t(part)] = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    for (int part = 1; part < parts; ++part)
        threads.emplace_back(run, part);
    run(0);
    for (std::thread& thread : threads)
        thread.join();
    for (const std::exception_ptr& error : errors)
        if (error)
            std::rethrow_exception(error);
}

} // namespace ConvertThreads
