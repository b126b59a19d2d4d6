/* The morvik command's entry point (x86-64 Linux), run before the C library's start.

   The command's code and its tables each fill a 2 MiB window of the binary (morvik_layout.ld).
   A window that the page cache holds as one 2 MiB folio is mapped with one entry at its first
   fault; one held in small folios costs a fault and sixteen entries for every 64 KiB a run
   touches. When the windows are not cached yet (the first run after a boot, or after memory
   pressure took them), the first fault in them reads the file ahead in small folios, unless the
   mapping asks for huge pages first: then the kernel reads each window as one folio. So, before
   anything touches them: unless the page cache holds the last page of the code window and the
   first of the data window, advise huge pages for both windows. When it holds them (every later
   run), the advice is skipped: it would register the process with khugepaged, which costs more
   than the check.

   This code lies in the file's first page, beside the headers that the kernel read to start the
   program, so that reaching it reads nothing ahead. */
	.section .morvik_entry,"ax",@progbits
	.globl morvik_entry
	.type morvik_entry,@function
morvik_entry:
	mov %rdx, %r12                        /* _start takes %rdx (the exit function) as the kernel set it */
	sub $8, %rsp
	mov $27, %eax                         /* mincore(the pages either side of the data window's start, */
	lea __morvik_data_window-4096(%rip), %rdi  /* a vector on the stack) */
	mov $8192, %esi
	mov %rsp, %rdx
	syscall
	test %eax, %eax
	jnz 1f                                /* no answer: leave the mapping as it is */
	movzwl (%rsp), %eax
	and $0x0101, %eax
	cmp $0x0101, %eax
	je 1f                                 /* both cached: nothing to read */
	mov $28, %eax                         /* madvise(both windows, MADV_HUGEPAGE) */
	lea __morvik_windows_start(%rip), %rdi
	lea __morvik_windows_end(%rip), %rsi
	sub %rdi, %rsi
	mov $14, %edx
	syscall                               /* a kernel without huge pages refuses it: no matter */
1:	add $8, %rsp
	mov %r12, %rdx
	jmp _start
	.size morvik_entry, .-morvik_entry

	.section .note.GNU-stack,"",@progbits
