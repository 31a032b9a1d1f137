import cProfile


def fib(n):
    return n if n < 2 else fib(n - 1) + fib(n - 2)


cProfile.run("print(fib(20))", sort="ncalls")
