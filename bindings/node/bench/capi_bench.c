/* The same work as bench.js through the C interface: validates the given
 * files round after round on T threads for about S seconds and prints the
 * documents per second.   capi_bench SECONDS THREADS FILE...            */
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "adsieve.h"

typedef struct {
    char *data;
    size_t len;
} doc;

typedef struct {
    const doc *docs;
    size_t count;
    size_t start;
    double seconds;
    size_t done;
    size_t failed;
} job;

static double now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

static void *work(void *arg) {
    job *j = arg;
    double end = now() + j->seconds;
    size_t i = j->start;
    while (now() < end) {
        const doc *d = &j->docs[i++ % j->count];
        adsieve_error err;
        adsieve_result *r = adsieve_validate_opts(d->data, d->len, NULL, &err);
        if (!r || !adsieve_result_json(r)) ++j->failed;
        adsieve_result_free(r);
        ++j->done;
    }
    return NULL;
}

static int read_file(const char *path, doc *out) {
    FILE *f = fopen(path, "rb");
    if (!f) return 0;
    fseek(f, 0, SEEK_END);
    long n = ftell(f);
    fseek(f, 0, SEEK_SET);
    out->data = malloc(n > 0 ? (size_t)n : 1);
    out->len = n > 0 ? (size_t)n : 0;
    int ok = out->data && fread(out->data, 1, out->len, f) == out->len;
    fclose(f);
    return ok;
}

int main(int argc, char **argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: capi_bench SECONDS THREADS FILE...\n");
        return 2;
    }
    double seconds = atof(argv[1]);
    int threads = atoi(argv[2]);
    if (seconds <= 0 || threads < 1 || threads > 64) {
        fprintf(stderr, "capi_bench: SECONDS must be positive and THREADS from 1 to 64\n");
        return 2;
    }
    size_t count = (size_t)(argc - 3);
    doc *docs = calloc(count, sizeof *docs);
    if (!docs) return 1;
    for (size_t i = 0; i < count; ++i) {
        if (!read_file(argv[3 + i], &docs[i])) {
            fprintf(stderr, "capi_bench: cannot read %s\n", argv[3 + i]);
            return 1;
        }
    }
    job jobs[64];
    pthread_t ids[64];
    double t0 = now();
    for (int t = 0; t < threads; ++t) {
        jobs[t] = (job){docs, count, (size_t)t * count / (size_t)threads, seconds, 0, 0};
        pthread_create(&ids[t], NULL, work, &jobs[t]);
    }
    size_t done = 0, failed = 0;
    for (int t = 0; t < threads; ++t) {
        pthread_join(ids[t], NULL);
        done += jobs[t].done;
        failed += jobs[t].failed;
    }
    double elapsed = now() - t0;
    printf("%.0f\n", (double)done / elapsed);
    for (size_t i = 0; i < count; ++i) free(docs[i].data);
    free(docs);
    return failed ? 1 : 0;
}
