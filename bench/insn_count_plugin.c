/* A plugin for qemu's user-mode emulator (qemu-i386 -plugin FILE,out=PATH)
 * that counts the instructions each translated block executes, for
 * scripts/profile.sh on machines whose kernel runs no 32-bit code, where
 * callgrind cannot run the 32-bit build. At exit it writes one line per
 * block, its start address in hex and its count, to PATH.
 *
 * The few declarations of qemu's plugin interface (version 1, qemu 7.2)
 * are written out here, since Debian ships no header for it. */
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef uint64_t qemu_plugin_id_t;
struct qemu_plugin_tb;
struct qemu_info_t;
enum qemu_plugin_op { QEMU_PLUGIN_INLINE_ADD_U64 };
typedef void (*qemu_plugin_vcpu_tb_trans_cb_t)(qemu_plugin_id_t id, struct qemu_plugin_tb* tb);
typedef void (*qemu_plugin_udata_cb_t)(qemu_plugin_id_t id, void* userdata);
void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t id, qemu_plugin_vcpu_tb_trans_cb_t cb);
size_t qemu_plugin_tb_n_insns(const struct qemu_plugin_tb* tb);
uint64_t qemu_plugin_tb_vaddr(const struct qemu_plugin_tb* tb);
void qemu_plugin_register_vcpu_tb_exec_inline(struct qemu_plugin_tb* tb, enum qemu_plugin_op op, void* ptr,
                                              uint64_t imm);
void qemu_plugin_register_atexit_cb(qemu_plugin_id_t id, qemu_plugin_udata_cb_t cb, void* userdata);

__attribute__((visibility("default"))) int qemu_plugin_version = 1;

/* One record per translation; a block translated again gets another, and
 * the reader adds them up by address. The counters are added to by the
 * translated code itself, without a call. */
struct block {
  uint64_t start, count;
  struct block* next;
};
static struct block* blocks;
static char out_path[4096];

static void on_translate(qemu_plugin_id_t id, struct qemu_plugin_tb* tb) {
  (void)id;
  struct block* b = calloc(1, sizeof *b);
  if (b == NULL) return;
  b->start = qemu_plugin_tb_vaddr(tb);
  b->next = blocks;
  blocks = b;
  qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64, &b->count, qemu_plugin_tb_n_insns(tb));
}

static void write_counts(qemu_plugin_id_t id, void* userdata) {
  (void)id;
  (void)userdata;
  FILE* f = fopen(out_path, "w");
  if (f == NULL) return;
  for (const struct block* b = blocks; b != NULL; b = b->next) {
    if (b->count != 0) fprintf(f, "%llx %llu\n", (unsigned long long)b->start, (unsigned long long)b->count);
  }
  fclose(f);
}

__attribute__((visibility("default"))) int qemu_plugin_install(qemu_plugin_id_t id, const struct qemu_info_t* info,
                                                               int argc, char** argv) {
  (void)info;
  for (int i = 0; i < argc; ++i) {
    if (strncmp(argv[i], "out=", 4) == 0) snprintf(out_path, sizeof out_path, "%s", argv[i] + 4);
  }
  if (out_path[0] == '\0') {
    fprintf(stderr, "insn_count_plugin: give out=PATH\n");
    return 1;
  }
  qemu_plugin_register_vcpu_tb_trans_cb(id, on_translate);
  qemu_plugin_register_atexit_cb(id, write_counts, NULL);
  return 0;
}
