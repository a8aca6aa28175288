# The entry points: `make run`, `make test` and `make bench`. The work is in scripts/.
.PHONY: run test bench build clean

run:
	bash scripts/run

test:
	bash scripts/test

bench:
	bash scripts/bench

build:
	bash scripts/install-deps
	bash scripts/build

clean:
	rm -rf build
