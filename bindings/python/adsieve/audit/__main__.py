"""python -m adsieve.audit: command line of the bulk audit."""
import argparse
import json
import os
import sys

from . import audit, write_report


def parse_args(argv):
    p = argparse.ArgumentParser(
        prog="python -m adsieve.audit",
        description="Validates many ad documents on Dask and writes summary.json, rules.csv and report.html.")
    where = p.add_mutually_exclusive_group()
    where.add_argument("--scheduler", metavar="tcp://HOST:PORT",
                       help="join a running Dask scheduler (workers need adsieve installed and the inputs visible)")
    where.add_argument("--workers", type=int, metavar="N", default=2,
                       help="start a local cluster of N worker processes (default 2; 0: run in this process)")
    p.add_argument("--out", metavar="DIR", default="adsieve-audit", help="report folder (default ./adsieve-audit)")
    p.add_argument("--rules", metavar="JSON", help='severity overrides, e.g. \'{"VAST-2.0-url-cdata":"off"}\'')
    p.add_argument("--blocksize", type=float, metavar="MB", default=32,
                   help="size of the byte ranges plain NDJSON logs are cut into (default 32)")
    p.add_argument("--files-per-task", type=int, metavar="N", default=64,
                   help="XML files validated per task (default 64)")
    p.add_argument("--quiet", action="store_true", help="no progress bar")
    p.add_argument("inputs", nargs="+", metavar="INPUT", help="folders, XML files or NDJSON logs (plain or .gz)")
    return p.parse_args(argv)


def main(argv=None) -> int:
    args = parse_args(argv)
    rules = None
    if args.rules is not None:
        try:
            rules = json.loads(args.rules)
        except ValueError as e:
            print(f"adsieve.audit: --rules is not JSON: {e}", file=sys.stderr)
            return 2
    try:
        summary = audit(args.inputs, scheduler=args.scheduler, workers=args.workers, rules=rules,
                        blocksize=max(1, int(args.blocksize * (1 << 20))), files_per_task=args.files_per_task,
                        progress=not args.quiet)
    except (FileNotFoundError, ValueError, TypeError) as e:
        print(f"adsieve.audit: {e}", file=sys.stderr)
        return 2
    write_report(summary, args.out)
    mal = summary["malformed"]["count"]
    print(f"{summary['documents']} documents, {summary['valid']} valid ({100 * summary['valid_share']:.1f} %), "
          f"{mal} malformed input{'s' if mal != 1 else ''}; {summary['run']['seconds']:.1f} s")
    print(f"report: {os.path.join(args.out, 'report.html')}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
