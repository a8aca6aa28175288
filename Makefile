# The entry points: `make run`, `make test`, `make bench`, `make format` and `make package`. The work is in scripts/
.PHONY: run test bench build format package clean

run:
	bash scripts/run

test:
	bash scripts/test

bench:
	bash scripts/bench

build:
	bash scripts/install-deps
	bash scripts/build

format:
	bash scripts/format

package:
	bash scripts/package

clean:
	rm -rf build
