#include "xob/krvmsg.h"

void krverror(krvopts *opts, int32_t number, int32_t code, int32_t count, const xins *inserts) {
  xpmlog(kKrvGroup, number, count, inserts);
  opts->failed = 1;
  if (opts->rc < code) opts->rc = code;
  xexit(opts->rc, 0);
}

void krvnomem(krvopts *opts) {
  xmemmsg(0);
  opts->failed = 1;
  if (opts->rc < 1016) opts->rc = 1016;
  xexit(opts->rc, 0);
}

void krvwarn(krvopts *opts, int32_t number) {
  xpmlog(kKrvGroup, number, 0, nullptr);
  if (opts->rc < 4) opts->rc = 4;
}
