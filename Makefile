# The entry points: `make run`, `make test`, `make bench` and `make format`. The work is in scripts/.
.PHONY: run test bench build format clean

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

clean:
	rm -rf build
