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
// produced; a false from sink stops the run. `work` must not throw. With one
// job everything runs on the calling thread.
//
// Memory stays bounded however long the input: at most 16 items per thread
// are in flight, and no more than `budget` bytes of them as weight(item)
// counts (one item is always let through).
//
// The calling thread sleeps only while the oldest item is unfinished, and only
// the worker finishing that item wakes it; everything done by then is handed
// over in one go. That keeps wake-ups well below one per item.
template <typename Item, typename Result, typename Next, typename Work, typename Sink, typename Weight>
void run_ordered(unsigned jobs, std::size_t budget, Next&& next, Work&& work, Sink&& sink, Weight&& weight) {
    if (jobs <= 1) {
        Item item;
        while (next(item)) {
            if (!sink(work(std::move(item)))) return;
            item = Item{};
        }
        return;
    }
    const std::size_t window = static_cast<std::size_t>(jobs) * 16;
    std::mutex m;
    std::condition_variable work_ready, head_done;
    std::deque<std::pair<std::size_t, Item>> queue;
    std::vector<std::optional<Result>> slots(window);
    std::vector<std::size_t> weights(window, 0);
    std::size_t produced = 0, written = 0, in_flight = 0;
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
                if (seq == written) head_done.notify_one();
            }
        });
    }

    // Hands over the finished results at the head, in order. Called with the
    // lock held; returns false once the sink has asked to stop.
    auto drain = [&](std::unique_lock<std::mutex>& lk) {
        while (!stop && written < produced && slots[written % window]) {
            Result r = std::move(*slots[written % window]);
            slots[written % window].reset();
            in_flight -= weights[written % window];
            ++written;
            lk.unlock();
            const bool go_on = sink(std::move(r));
            lk.lock();
            if (!go_on) stop = true;
        }
        return !stop;
    };

    {
        std::unique_lock lk(m);
        while (!stop) {
            lk.unlock();
            Item item;
            const bool more = next(item);
            const std::size_t w = more ? weight(item) : 0;
            lk.lock();
            if (!more) break;
            while (drain(lk) && written < produced &&
                   (produced - written >= window || in_flight + w > budget))
                head_done.wait(lk);
            if (stop) break;
            weights[produced % window] = w;
            in_flight += w;
            queue.emplace_back(produced++, std::move(item));
            work_ready.notify_one();
            drain(lk);
        }
        closed = true;
        work_ready.notify_all();
        while (drain(lk) && written < produced) head_done.wait(lk);
        stop = true;
        work_ready.notify_all();
    }
    for (std::thread& t : threads) t.join();
}

}  // namespace cli
