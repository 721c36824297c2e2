// A small pool of threads that keeps results in input order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace cli {

// Produces items with next(Item&) -> bool on the calling thread, runs
// work(Item&&) -> Result on `jobs` threads, and hands every result to
// sink(Result&&) -> bool on the calling thread in the order the items were
// produced; a false from sink stops the run. At most a few items per thread
// are in flight, so memory stays bounded however long the input. `work` must
// not throw. With one job everything runs on the calling thread.
template <typename Item, typename Result, typename Next, typename Work, typename Sink>
void run_ordered(unsigned jobs, Next&& next, Work&& work, Sink&& sink) {
    if (jobs <= 1) {
        Item item;
        while (next(item)) {
            if (!sink(work(std::move(item)))) return;
            item = Item{};
        }
        return;
    }
    const std::size_t window = static_cast<std::size_t>(jobs) * 4;
    std::mutex m;
    std::condition_variable work_ready, result_ready;
    std::deque<std::pair<std::size_t, Item>> queue;
    std::vector<std::optional<Result>> slots(window);
    std::size_t produced = 0, written = 0;
    bool closed = false, stop = false;

    std::vector<std::thread> threads;
    threads.reserve(jobs);
    for (unsigned t = 0; t < jobs; ++t) {
        threads.emplace_back([&] {
            std::unique_lock lk(m);
            while (true) {
                work_ready.wait(lk, [&] { return stop || closed || !queue.empty(); });
                if (stop || queue.empty()) return;
                auto [seq, item] = std::move(queue.front());
                queue.pop_front();
                lk.unlock();
                Result r = work(std::move(item));
                lk.lock();
                slots[seq % window].emplace(std::move(r));
                result_ready.notify_all();
            }
        });
    }

    // Hands over finished results in order; with `until` set, waits until
    // fewer than `until` items are in flight. Called with the lock held.
    auto drain = [&](std::unique_lock<std::mutex>& lk, std::size_t until) {
        while (!stop && written < produced) {
            auto& slot = slots[written % window];
            if (!slot) {
                if (produced - written < until) return;
                result_ready.wait(lk);
                continue;
            }
            Result r = std::move(*slot);
            slot.reset();
            ++written;
            lk.unlock();
            bool go_on = sink(std::move(r));
            lk.lock();
            if (!go_on) stop = true;
        }
    };

    {
        std::unique_lock lk(m);
        while (!stop) {
            lk.unlock();
            Item item;
            bool more = next(item);
            lk.lock();
            if (!more) break;
            drain(lk, window);
            if (stop) break;
            queue.emplace_back(produced++, std::move(item));
            work_ready.notify_one();
            drain(lk, window + 1);  // only what is already done
        }
        closed = true;
        work_ready.notify_all();
        drain(lk, 1);
        stop = true;
        work_ready.notify_all();
    }
    for (std::thread& t : threads) t.join();
}

}  // namespace cli
