/* jemalloc's options, read by the allocator at start-up from this symbol of the
 * program. One arena for all threads: the run's threads hand messages to each other,
 * so memory freed by one is reused by the next instead of idling in an arena per
 * thread (a .pst run of 11,000 messages: 61 MB at its peak, 47 MB with one arena, at
 * the same speed). */
const char* malloc_conf = "narenas:1";
